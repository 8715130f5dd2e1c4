// Builds MP3 files byte by byte for tests and samples: ID3v2 tags and frames, ID3v1 blocks,
// Lyrics3 blocks and MPEG frame headers. Every helper returns the bytes as a std::string.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fixture {

// Bytes from numbers: Bytes({0xFF, 0xFB}).
std::string Bytes(std::initializer_list<int> values);
// Big-endian number of width bytes.
std::string BigEndian(std::uint64_t value, int width);

// An MPEG frame: FF b1 b2 b3, then zeros up to frameSize bytes (4: the header alone). The
// default is MPEG-1 Layer III, no CRC, 128 kbit/s, 44100 Hz, no padding, joint stereo, mode
// extension 2, original.
std::string MpegFrame(std::size_t frameSize = 418, int b1 = 0xFB, int b2 = 0x90, int b3 = 0x64);

// A 128-byte ID3v1 block, fields cut at their width and padded with zeros. With a track, byte
// 125 is zero and byte 126 the track (ID3v1.1).
struct Id1 {
    std::string title, artist, album, year, comment;
    std::optional<int> track;
    int genre = 0;
};
std::string Id3v1(const Id1& tag);

// A version 2.3 frame: id, size (base 256), status and format flags, data.
std::string Frame23(std::string_view id, std::string_view data, int status = 0, int format = 0);
// A version 2.3 frame compressed with zlib: 4 bytes of uncompressed size (or the declared one),
// then the stream.
std::string CompressedFrame23(std::string_view id, std::string_view plain,
                              std::optional<std::uint32_t> declared = std::nullopt);
// A version 2.2 frame: 3-letter id, 3-byte size, data.
std::string Frame22(std::string_view id, std::string_view data);
// A text frame's data: encoding byte 0, then the text.
std::string Text(std::string_view text);
// An APIC frame's data (version 2.3): encoding, MIME type, 0, picture type, description, 0,
// picture bytes.
std::string ApicData(std::string_view mime, std::string_view description, std::string_view picture,
                     int encoding = 0, int pictureType = 3);

// The tag: "ID3", version, revision 0, flags, the body size in base 128 (or the four size bytes
// given), then the body.
std::string Id3v2(int version, std::string_view body, int flags = 0,
                  std::optional<std::string> sizeBytes = std::nullopt);
// The four base-128 size bytes for a size (each below 128).
std::string SyncsafeSize(std::uint32_t size);
// zlib's compress of the data.
std::string Compress(std::string_view data);

// Lyrics3: version 2 fields ("LYR", "text") become id + five-digit length + content, then the
// six-digit size and "LYRICS200"; version 1 is "LYRICSBEGIN", text, "LYRICSEND".
struct LyricsField {
    std::string id;
    std::string content;
};
std::string Lyrics3v2(const std::vector<LyricsField>& fields);
std::string Lyrics3v1(std::string_view text);

}  // namespace fixture
