#include "support/Mp3Builder.h"

#include <zlib.h>

#include <stdexcept>

namespace fixture {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

std::string BigEndian(std::uint64_t value, int width) {
    std::string out(static_cast<std::size_t>(width), '\0');
    for (auto at = out.rbegin(); at != out.rend(); ++at, value >>= 8) {
        *at = static_cast<char>(value & 0xFFU);
    }
    return out;
}

std::string MpegFrame(std::size_t frameSize, int b1, int b2, int b3) {
    std::string frame = Bytes({0xFF, b1, b2, b3});
    frame.resize(std::max<std::size_t>(frameSize, 4), '\0');
    return frame;
}

std::string Id3v1(const Id1& tag) {
    const auto field = [](std::string_view text, std::size_t width) {
        std::string out(text.substr(0, width));
        out.resize(width, '\0');
        return out;
    };
    std::string out = "TAG" + field(tag.title, 30) + field(tag.artist, 30) + field(tag.album, 30) +
                      field(tag.year, 4);
    out += tag.track ? field(tag.comment, 28) + '\0' + static_cast<char>(*tag.track)
                     : field(tag.comment, 30);
    return out + static_cast<char>(tag.genre);
}

std::string Frame23(std::string_view id, std::string_view data, int status, int format) {
    return std::string(id) + BigEndian(data.size(), 4) + Bytes({status, format}) +
           std::string(data);
}

std::string CompressedFrame23(std::string_view id, std::string_view plain,
                              std::optional<std::uint32_t> declared) {
    return Frame23(id, BigEndian(declared.value_or(plain.size()), 4) + Compress(plain), 0, 0x80);
}

std::string Frame22(std::string_view id, std::string_view data) {
    return std::string(id) + BigEndian(data.size(), 3) + std::string(data);
}

std::string Text(std::string_view text) {
    return '\0' + std::string(text);
}

std::string ApicData(std::string_view mime, std::string_view description, std::string_view picture,
                     int encoding, int pictureType) {
    return Bytes({encoding}) + std::string(mime) + '\0' + Bytes({pictureType}) +
           std::string(description) + '\0' + std::string(picture);
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
    const auto digits = [](std::size_t n, std::size_t width) {
        const std::string s = std::to_string(n);
        return std::string(width - std::min(width, s.size()), '0') + s;
    };
    std::string body = "LYRICSBEGIN";
    for (const auto& field : fields) {
        body += field.id + digits(field.content.size(), 5) + field.content;
    }
    return body + digits(body.size(), 6) + "LYRICS200";
}

std::string Lyrics3v1(std::string_view text) {
    return "LYRICSBEGIN" + std::string(text) + "LYRICSEND";
}

}  // namespace fixture
