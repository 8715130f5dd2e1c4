// Builds MP3 files byte by byte for tests and samples: ID3v2 tags and frames, ID3v1 blocks,
// Lyrics3 blocks and MPEG frame headers. Every helper returns the bytes as a std::string.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace fixture {

// Bytes from numbers: Bytes({0xFF, 0xFB}).
inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}
// Big-endian number of width bytes.
inline std::string BigEndian(std::uint64_t value, int width) {
    std::string out(static_cast<std::size_t>(width), '\0');
    for (auto at = out.rbegin(); at != out.rend(); ++at, value >>= 8) {
        *at = static_cast<char>(value & 0xFFU);
    }
    return out;
}

// zlib's compress of the data.
inline std::string Compress(std::string_view data) {
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

// The four base-128 size bytes for a size (each below 128).
inline std::string SyncsafeSize(std::uint32_t size) {
    return Bytes({static_cast<int>((size >> 21) & 0x7F), static_cast<int>((size >> 14) & 0x7F),
                  static_cast<int>((size >> 7) & 0x7F), static_cast<int>(size & 0x7F)});
}
// An MPEG frame: FF b1 b2 b3, then zeros up to frameSize bytes (4: the header alone). The
// default is MPEG-1 Layer III, no CRC, 128 kbit/s, 44100 Hz, no padding, joint stereo, mode
// extension 2, original.
inline std::string MpegFrame(std::size_t frameSize = 418, int b1 = 0xFB, int b2 = 0x90,
                             int b3 = 0x64) {
    std::string frame = Bytes({0xFF, b1, b2, b3});
    frame.resize(std::max<std::size_t>(frameSize, 4), '\0');
    return frame;
}

// A 128-byte ID3v1 block, fields cut at their width and padded with zeros. With a track, byte
// 125 is zero and byte 126 the track (ID3v1.1).
struct Id1 {
    std::string title, artist, album, year, comment;
    std::optional<int> track;
    int genre = 0;
};
inline std::string Id3v1(const Id1& tag) {
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

// A version 2.3 frame: id, size (base 256), status and format flags, data.
inline std::string Frame23(std::string_view id, std::string_view data, int status = 0,
                           int format = 0) {
    return std::string(id) + BigEndian(data.size(), 4) + Bytes({status, format}) +
           std::string(data);
}
// A version 2.3 frame compressed with zlib: 4 bytes of uncompressed size (or the declared one),
// then the stream.
inline std::string CompressedFrame23(std::string_view id, std::string_view plain,
                                     std::optional<std::uint32_t> declared = std::nullopt) {
    return Frame23(id, BigEndian(declared.value_or(plain.size()), 4) + Compress(plain), 0, 0x80);
}
// A version 2.4 frame: id, size in base 128 (or the four size bytes given), flags, data.
inline std::string Frame24(std::string_view id, std::string_view data, int status = 0,
                           int format = 0, std::optional<std::string> sizeBytes = std::nullopt) {
    return std::string(id) +
           sizeBytes.value_or(SyncsafeSize(static_cast<std::uint32_t>(data.size()))) +
           Bytes({status, format}) + std::string(data);
}
// Unsynchronisation: a 0x00 after every 0xFF that is followed by 0x00 or a byte from 0xE0 up,
// or that ends the data.
inline std::string Unsynchronise(std::string_view data) {
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.push_back(data[i]);
        const bool ff = static_cast<unsigned char>(data[i]) == 0xFF;
        if (ff && (i + 1 == data.size() || data[i + 1] == '\0' ||
                   static_cast<unsigned char>(data[i + 1]) >= 0xE0)) {
            out.push_back('\0');
        }
    }
    return out;
}
// A version 2.2 frame: 3-letter id, 3-byte size, data.
inline std::string Frame22(std::string_view id, std::string_view data) {
    return std::string(id) + BigEndian(data.size(), 3) + std::string(data);
}
// A text frame's data: encoding byte 0, then the text.
inline std::string Text(std::string_view text) {
    return '\0' + std::string(text);
}
// An APIC frame's data (version 2.3): encoding, MIME type, 0, picture type, description, 0,
// picture bytes.
inline std::string ApicData(std::string_view mime, std::string_view description,
                            std::string_view picture, int encoding = 0, int pictureType = 3) {
    return Bytes({encoding}) + std::string(mime) + '\0' + Bytes({pictureType}) +
           std::string(description) + '\0' + std::string(picture);
}

// The tag: "ID3", version, revision 0, flags, the body size in base 128 (or the four size bytes
// given), then the body.
inline std::string Id3v2(int version, std::string_view body, int flags = 0,
                         std::optional<std::string> sizeBytes = std::nullopt) {
    return "ID3" + Bytes({version, 0, flags}) +
           sizeBytes.value_or(SyncsafeSize(static_cast<std::uint32_t>(body.size()))) +
           std::string(body);
}
// A 2.4 footer: "3DI", version 4, revision 0, flags, the body size in base 128.
inline std::string Id3v2Footer(std::size_t bodySize, int flags = 0x10) {
    return "3DI" + Bytes({4, 0, flags}) + SyncsafeSize(static_cast<std::uint32_t>(bodySize));
}
// Little-endian number of four bytes.
inline std::string LittleEndian32(std::uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i, value >>= 8) {
        out.push_back(static_cast<char>(value & 0xFFU));
    }
    return out;
}
// An APEv2 tag with header and footer; each item is key, value and type (0 text, 1 binary).
struct ApeItem {
    std::string key;
    std::string value;
    int type = 0;
};
inline std::string ApeTag(const std::vector<ApeItem>& items) {
    std::string body;
    for (const auto& item : items) {
        body += LittleEndian32(static_cast<std::uint32_t>(item.value.size())) +
                LittleEndian32(static_cast<std::uint32_t>(item.type) << 1) + item.key + '\0' +
                item.value;
    }
    const auto block = [&](std::uint32_t flags) {
        return "APETAGEX" + LittleEndian32(2000) +
               LittleEndian32(static_cast<std::uint32_t>(body.size() + 32)) +
               LittleEndian32(static_cast<std::uint32_t>(items.size())) + LittleEndian32(flags) +
               std::string(8, '\0');
    };
    return block(0xA0000000U) + body + block(0x80000000U);
}
// Lyrics3: version 2 fields ("LYR", "text") become id + five-digit length + content, then the
// six-digit size and "LYRICS200"; version 1 is "LYRICSBEGIN", text, "LYRICSEND".
struct LyricsField {
    std::string id;
    std::string content;
};
inline std::string Lyrics3v2(const std::vector<LyricsField>& fields) {
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
inline std::string Lyrics3v1(std::string_view text) {
    return "LYRICSBEGIN" + std::string(text) + "LYRICSEND";
}

}  // namespace fixture
