// The ID3v2 tag at the start of a file: its header, its frames (versions 2.2 and 2.3), and the
// text each frame shows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "tags/mod_Id3v2Marker.h"

struct z_stream_s;  // zlib's stream state

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

// The data of one frame, read front to back in chunks: the stored bytes [at, at + length) of
// the view, or for a compressed frame what they inflate to. A compressed frame's data starts
// with its inflated size (4 bytes, base 256), trusted only as far as the stream could fill it
// (deflate expands at most about 1032 to 1); a stream that does not inflate completely gives
// what it produced. No more than limit bytes are delivered.
class FrameData {
  public:
    static constexpr std::size_t kChunk = 64 * 1024;

    FrameData(ByteView& bytes, std::int64_t at, std::int64_t length, bool compressed,
              std::uint64_t limit);
    ~FrameData();
    FrameData(const FrameData&) = delete;
    FrameData& operator=(const FrameData&) = delete;

    // The next bytes into out; 0 at the end of the data.
    std::size_t Read(std::span<char> out);
    // Everything not read yet.
    std::string ReadAll();
    // Whether the data goes on past the limit (asked once Read has reached it).
    bool OverLimit();
    // The most the data can deliver in all.
    std::uint64_t MaxSize() const { return std::min(capacity_, limit_); }

  private:
    std::size_t Inflate(std::span<char> out);
    ByteView& bytes_;
    std::int64_t next_;  // next stored byte to read
    std::int64_t end_;
    std::uint64_t capacity_;  // what the data may hold, the limit aside
    std::uint64_t limit_;
    std::uint64_t delivered_ = 0;
    bool compressed_;
    std::unique_ptr<::z_stream_s> zlib_;  // compressed frames only
    std::vector<char> input_;
    bool ended_ = false;
};

// Compressed frames are inflated no further than a stored frame is read, whatever size they
// declare; everything the frames of one tag inflate to together stays within kInflateBudget.
// A pane shows a frame's text escaped, several bytes a byte, so these bound the output too.
inline constexpr std::size_t kMaxInflatedFrame = 1024 * 1024;
inline constexpr std::size_t kInflateBudget = 4 * 1024 * 1024;

// Stored frames are read no further than a pane can usefully show: a frame up to
// kMaxStoredFrame bytes, the frames of one tag up to kStoredBudget together, and no more than
// kMaxFrames frames a tag. No real tag comes near these; a frame cut where it changes what is
// shown, and a tag of more frames, say so once each.
inline constexpr std::size_t kMaxStoredFrame = 1024 * 1024;
inline constexpr std::size_t kStoredBudget = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxFrames = 100'000;

// The tag body as the frame splitter sees it: TagSize + 1 bytes, the last always 0, and
// everything past the end of the file zero. Bytes are fetched from the file as the splitter asks
// for them, a block of kBodyWindow bytes at a time, so the data of picture frames, which the
// splitter steps over, is never read, and a size pointing far past the end costs nothing.
class TagBody {
  public:
    static constexpr std::size_t kFirstBlock = 16 * 1024;  // from the start of the file
    static constexpr std::size_t kBodyWindow = 64 * 1024;

    // The body at fileOffset; held is how many of its bytes the file holds.
    TagBody(ByteView& bytes, std::int64_t fileOffset, std::int32_t tagSize, std::int64_t held)
        : bytes_(bytes), fileOffset_(fileOffset), tagSize_(tagSize), held_(held) {}

    std::int64_t Length() const { return static_cast<std::int64_t>(tagSize_) + 1; }
    unsigned char At(std::int64_t i) {
        return i >= 0 && i < held_ ? bytes_.Byte(fileOffset_ + i) : 0;
    }
    // n bytes from index from on; those the file does not hold read as zeros.
    std::string Bytes(std::int64_t from, int n) {
        std::string out(static_cast<std::size_t>(n), '\0');
        bytes_.Copy(fileOffset_ + from,
                    std::span<char>(out).first(static_cast<std::size_t>(Held(from, n))));
        return out;
    }
    // The data of a frame stored at [from, from + n), as far as the file holds it.
    FrameData Data(std::int64_t from, std::int64_t n, bool compressed, std::uint64_t limit) {
        return {bytes_, fileOffset_ + from, Held(from, n), compressed, limit};
    }

  private:
    std::int64_t Held(std::int64_t from, std::int64_t n) const {
        return std::clamp<std::int64_t>(held_ - from, 0, std::max<std::int64_t>(n, 0));
    }
    ByteView& bytes_;
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

// The "Value" text of one frame; a value that must be a number and is not gives a
// "ReadID3dPAT" message and the empty text.
std::string FormatFrameValue(MessageBox& messages, const Id3v2TagHeader& header,
                             const Id3v2Frame& frame);

}  // namespace veltrane
