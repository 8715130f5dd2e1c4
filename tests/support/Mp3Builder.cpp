#include "support/Mp3Builder.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

namespace fixture {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

std::string Fill(std::size_t n, char byte) {
    return std::string(n, byte);
}

std::string BigEndian(std::uint64_t value, int width) {
    std::string out(static_cast<std::size_t>(width), '\0');
    for (int i = width - 1; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFFU);
        value >>= 8;
    }
    return out;
}

std::string MpegHeader(int b1, int b2, int b3) {
    return Bytes({0xFF, b1, b2, b3});
}

std::string MpegFrame(std::size_t frameSize, int b1, int b2, int b3) {
    std::string frame = MpegHeader(b1, b2, b3);
    frame.resize(std::max<std::size_t>(frameSize, 4), '\0');
    return frame;
}

namespace {

std::string Field(std::string_view text, std::size_t width) {
    std::string out(text.substr(0, width));
    out.resize(width, '\0');
    return out;
}

}  // namespace

std::string Id3v1(const Id1& tag) {
    std::string out = "TAG";       // 0
    out += Field(tag.title, 30);   // 3
    out += Field(tag.artist, 30);  // 33
    out += Field(tag.album, 30);   // 63
    out += Field(tag.year, 4);     // 93
    if (tag.track) {
        out += Field(tag.comment, 28);                 // 97
        out.push_back('\0');                           // 125
        out.push_back(static_cast<char>(*tag.track));  // 126
    } else {
        out += Field(tag.comment, 30);  // 97
    }
    out.push_back(static_cast<char>(tag.genre));  // 127
    return out;
}

std::string Frame23(std::string_view id, std::string_view data, int status, int format) {
    return std::string(id) + BigEndian(data.size(), 4) + Bytes({status, format}) +
           std::string(data);
}

std::string CompressedFrame23(std::string_view id, std::string_view plain,
                              std::optional<std::uint32_t> declared) {
    const std::string data =
        BigEndian(declared.value_or(static_cast<std::uint32_t>(plain.size())), 4) + Compress(plain);
    return Frame23(id, data, 0, 0x80);
}

std::string Frame22(std::string_view id, std::string_view data) {
    return std::string(id) + BigEndian(data.size(), 3) + std::string(data);
}

std::string Text(std::string_view text) {
    return std::string(1, '\0') + std::string(text);
}

std::string SyncsafeSize(std::uint32_t size) {
    return Bytes({static_cast<int>((size >> 21) & 0x7F), static_cast<int>((size >> 14) & 0x7F),
                  static_cast<int>((size >> 7) & 0x7F), static_cast<int>(size & 0x7F)});
}

std::string Id3v2(int version, std::string_view body, int flags,
                  std::optional<std::string> sizeBytes) {
    return "ID3" + Bytes({version, 0, flags}) +
           sizeBytes.value_or(SyncsafeSize(static_cast<std::uint32_t>(body.size()))) +
           std::string(body);
}

std::string Compress(std::string_view data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()),
                 static_cast<uLong>(data.size())) != Z_OK) {
        throw std::runtime_error("compress failed");
    }
    out.resize(size);
    return out;
}

std::string Lyrics3v2(const std::vector<LyricsField>& fields) {
    std::string body = "LYRICSBEGIN";
    for (const auto& field : fields) {
        char length[8];
        std::snprintf(length, sizeof length, "%05zu", field.content.size());
        body += field.id + length + field.content;
    }
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    return body + size + "LYRICS200";
}

std::string Lyrics3v1(std::string_view text) {
    return "LYRICSBEGIN" + std::string(text) + "LYRICSEND";
}

std::string ApicData(std::string_view mime, std::string_view description, std::string_view picture,
                     int encoding, int pictureType) {
    return Bytes({encoding}) + std::string(mime) + std::string(1, '\0') + Bytes({pictureType}) +
           std::string(description) + std::string(1, '\0') + std::string(picture);
}

}  // namespace fixture
