// The ID3v2 tag at the start of a file: its header, its frames (versions 2.2 and 2.3), and the
// text each frame shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

struct Id3v2TagHeader {
    std::int32_t FramesRead = 0;
    std::uint8_t MajorVersion = 0;     // 2, 3 or 4; 0 without such a tag
    std::int32_t TagSize = 0;          // body size, the 10 header bytes not included
    std::uint8_t IdLength = 0;         // 3 for version 2, 4 for versions 3 and 4
    std::uint8_t FrameHeaderSize = 0;  // 6 for version 2, 10 for versions 3 and 4
};

struct Id3v2Frame {
    std::string Id;         // upper-cased, IdLength characters
    std::int32_t Size = 0;  // data size from the frame header
    std::string Data;       // one character per byte; inflated for a compressed frame;
                            // empty for "APIC" and size 0
    std::uint8_t StatusFlags = 0;
    std::uint8_t FormatFlags = 0;      // 0x80 compressed, 0x40 encrypted (version 3)
    std::int64_t FrameFileOffset = 0;  // "APIC" only: file offset of its 10-byte header
    // Zero bytes of the frame that lie past the end of a truncated file. They are not held in
    // Data; only the play counter's value depends on them.
    std::uint64_t TailZeros = 0;
};

// The allowed identifier characters after upper-casing (Windows-1252).
inline constexpr std::string_view FrameIdChars =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ\xC4\xD6\xDC\xDF";

// The decoded "ID3" tag header size: base 128, each byte taken whole (bit 7 not cleared).
std::int32_t DecodeTagSize(std::span<const char, 4> bytes);

// The tag body as the frame splitter sees it: TagSize + 1 bytes, the last always 0, and
// everything past the end of the file zero. Bytes are fetched from the file as the splitter asks
// for them, a block of kBodyWindow bytes at a time, so the data of picture frames, which the
// splitter steps over, is never read, and a size pointing far past the end costs nothing.
class TagBody {
  public:
    static constexpr std::size_t kFirstBlock = 16 * 1024;  // from the start of the file
    static constexpr std::size_t kBodyWindow = 64 * 1024;

    // The body at fileOffset; held is how many of its bytes the file holds.
    TagBody(BlockReader& reader, std::int64_t fileOffset, std::int32_t tagSize, std::int64_t held)
        : reader_(reader), fileOffset_(fileOffset), tagSize_(tagSize), held_(held) {}

    std::int64_t Length() const { return static_cast<std::int64_t>(tagSize_) + 1; }
    unsigned char At(std::int64_t i) {
        return i >= 0 && i < held_ ? reader_.Byte(fileOffset_ + i) : 0;
    }
    // The held bytes of [from, from + n); the rest of the range reads as zeros.
    std::string Read(std::int64_t from, std::int64_t n);

  private:
    BlockReader& reader_;
    std::int64_t fileOffset_;
    std::int32_t tagSize_;
    std::int64_t held_;
};

// Reads the tag header and splits the body. Faults are reported as "ReadID3nfo" (reading) or
// "ReadID3-SF" (splitting, which also discards every frame gathered).
void ReadId3v2(FileAccess& files, MessageBox& messages, const std::string& path,
               Id3v2TagHeader& header, std::vector<Id3v2Frame>& frames);

// Splits a version 2 or 3 body into frames; returns the number of frames kept.
std::int32_t ParseFrames(MessageBox& messages, TagBody& body, const Id3v2TagHeader& header,
                         std::vector<Id3v2Frame>& frames);

// Compressed frames never inflate to more than this, whatever size they declare.
inline constexpr std::size_t kMaxInflatedFrame = 16 * 1024 * 1024;

// Inflates a zlib stream into at most declaredSize bytes, allocating no more than the stream
// can produce (zlib expands at most about 1032 to 1). Returns the bytes produced.
std::string InflateDeclared(std::string_view stream, std::uint64_t declaredSize);

// The "Value" text of one frame; a value that must be a number and is not gives a
// "ReadID3dPAT" message and the empty text.
std::string FormatFrameValue(MessageBox& messages, const Id3v2TagHeader& header,
                             const Id3v2Frame& frame);

}  // namespace veltrane
