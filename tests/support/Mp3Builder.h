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

// MPEG audio streams as the standard lays them out: frames of their header's own length, the
// Xing/Info and VBRI headers and the LAME extension.
namespace audio {

// The length of the frame a header (FF b1 b2 ..) announces; 0 for free format.
inline std::size_t FrameLength(int b1, int b2) {
    static constexpr int kBitrates[5][16] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
    static constexpr int kRates[4][3] = {
        {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
    const int version = (b1 >> 3) & 3;
    const int layer = 4 - ((b1 >> 1) & 3);
    const bool mpeg1 = version == 3;
    const int row = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int bitrate = kBitrates[row][b2 >> 4] * 1000;
    const int rate = kRates[version][(b2 >> 2) & 3];
    const int pad = (b2 >> 1) & 1;
    if (bitrate == 0 || rate == 0) {
        return 0;
    }
    if (layer == 1) {
        return static_cast<std::size_t>((12 * bitrate / rate + pad) * 4);
    }
    const int samples = layer == 3 && !mpeg1 ? 576 : 1152;
    return static_cast<std::size_t>(samples / 8 * bitrate / rate + pad);
}

// One frame: the header, then fill up to its length (or to size, for free format).
inline std::string Frame(int b1 = 0xFB, int b2 = 0x90, int b3 = 0x44, char fill = 0x55,
                         std::size_t size = 0) {
    std::string frame = Bytes({0xFF, b1, b2, b3});
    frame.resize(size != 0 ? size : FrameLength(b1, b2), fill);
    return frame;
}
inline std::string Frames(int count, int b1 = 0xFB, int b2 = 0x90, int b3 = 0x44) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += Frame(b1, b2, b3);
    }
    return out;
}

// CRC-16 with the reflected polynomial 0x8005, starting at 0, as LAME computes its tag's.
inline std::uint16_t Crc16(std::string_view bytes) {
    std::uint16_t crc = 0;
    for (const char c : bytes) {
        crc = static_cast<std::uint16_t>(crc ^ static_cast<unsigned char>(c));
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1);
        }
    }
    return crc;
}

// Where the Xing/Info header stands in a Layer III frame: after the header, its CRC and the
// side information.
inline std::size_t XingOffset(int b1, int b3) {
    const bool mpeg1 = ((b1 >> 3) & 3) == 3;
    const bool mono = (b3 >> 6) == 3;
    return 4 + ((b1 & 1) == 0 ? 2 : 0) + (mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17));
}

struct Xing {
    std::string tag = "Xing";
    std::optional<std::uint32_t> frames{};
    std::optional<std::uint32_t> bytes{};
    bool toc = true;
    std::optional<std::uint32_t> quality = 57;
};
struct Lame {
    std::string version = "LAME3.100";
    int method = 4;
    int lowpass = 195;  // hundreds of Hz
    int delay = 576;
    int padding = 1000;
    int radioGain = 0;  // the whole 16-bit field
    bool badCrc = false;
};

// A header frame (all zeros but the header and the fields) carrying a Xing/Info header and,
// when given, the LAME extension with its CRC over the frame's bytes before the CRC field.
inline std::string XingFrame(const Xing& x, const std::optional<Lame>& lame = std::nullopt,
                             int b1 = 0xFB, int b2 = 0x90, int b3 = 0x44) {
    std::string frame = Frame(b1, b2, b3, '\0');
    std::string fields = x.tag + BigEndian((x.frames ? 1 : 0) | (x.bytes ? 2 : 0) |
                                               (x.toc ? 4 : 0) | (x.quality ? 8 : 0),
                                           4);
    if (x.frames) {
        fields += BigEndian(*x.frames, 4);
    }
    if (x.bytes) {
        fields += BigEndian(*x.bytes, 4);
    }
    if (x.toc) {
        for (int i = 0; i < 100; ++i) {
            fields.push_back(static_cast<char>(i * 256 / 100));
        }
    }
    if (x.quality) {
        fields += BigEndian(*x.quality, 4);
    }
    const std::size_t at = XingOffset(b1, b3);
    frame.replace(at, fields.size(), fields);
    if (lame) {
        std::string e = lame->version.substr(0, 9);
        e.resize(9, ' ');
        e += Bytes({lame->method, lame->lowpass}) + BigEndian(0, 4) +
             BigEndian(static_cast<std::uint64_t>(lame->radioGain), 2) + BigEndian(0, 2) +
             Bytes({0, 128}) +
             Bytes({lame->delay >> 4, ((lame->delay & 15) << 4) | (lame->padding >> 8),
                    lame->padding & 0xFF}) +
             Bytes({0, 0}) + BigEndian(0, 2) + BigEndian(12345, 4) + BigEndian(0, 2);
        const std::size_t lameAt = at + fields.size();
        frame.replace(lameAt, e.size(), e);
        const std::uint16_t crc = static_cast<std::uint16_t>(
            Crc16(std::string_view(frame).substr(0, lameAt + 34)) ^ (lame->badCrc ? 1 : 0));
        frame.replace(lameAt + 34, 2, BigEndian(crc, 2));
    }
    return frame;
}

// A header frame carrying a VBRI header at its fixed place, 32 bytes after the header.
inline std::string VbriFrame(std::uint32_t frames, std::uint32_t bytes, int b1 = 0xFB,
                             int b2 = 0x90, int b3 = 0x44) {
    std::string frame = Frame(b1, b2, b3, '\0');
    const std::string fields = "VBRI" + BigEndian(1, 2) + BigEndian(1105, 2) + BigEndian(75, 2) +
                               BigEndian(bytes, 4) + BigEndian(frames, 4) + BigEndian(10, 2) +
                               BigEndian(1, 2) + BigEndian(2, 2) + BigEndian(10, 2);
    frame.replace(36, fields.size(), fields);
    return frame;
}

}  // namespace audio

}  // namespace fixture
