// Tag header, file offsets 0 to 9:
//
//   offset  length  meaning
//   0       3       "ID3"
//   3       1       major version: 2 and 3 are split into frames, 4 is only recognised
//   4       1       revision (ignored)
//   5       1       flags (ignored: no unsynchronisation, extended header or footer)
//   6       4       body size, base 128 per byte, each byte taken whole
//
// Frame header at body offset p:
//
//   version  identifier  size (base 256)  flags               data
//   2        p..p+2      p+3..p+5         none                p+6
//   3        p..p+3      p+4..p+7         p+8 status, p+9 format   p+10
#include "id3v2/mod_MP3ID3_TAG.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <optional>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

FrameData::FrameData(ByteView& bytes, std::int64_t at, std::int64_t length, bool compressed,
                     std::uint64_t limit)
    : bytes_(bytes),
      next_(at),
      end_(at + std::max<std::int64_t>(length, 0)),
      capacity_(static_cast<std::uint64_t>(end_ - at)),
      limit_(limit),
      compressed_(compressed) {
    if (!compressed) {
        return;
    }
    // The declared size, then the stream; a frame too short for the size field has its missing
    // bytes read as zeros.
    std::string declared =
        bytes_.Bytes(at, static_cast<std::size_t>(std::min<std::int64_t>(4, end_ - at)));
    declared.resize(4, '\0');
    next_ = std::min(end_, at + 4);
    const auto reachable = static_cast<std::uint64_t>(end_ - next_) * 1032U + 1024U;
    capacity_ = std::min(ReadBigEndian(declared), reachable);
    zlib_ = std::make_unique<z_stream>();
    if (inflateInit(zlib_.get()) != Z_OK) {
        zlib_.reset();
    }
}

FrameData::~FrameData() {
    if (zlib_) {
        inflateEnd(zlib_.get());
    }
}

std::size_t FrameData::Read(std::span<char> out) {
    const std::uint64_t left = std::min(capacity_, limit_) - delivered_;
    out = out.first(static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), left)));
    std::size_t got = 0;
    if (compressed_) {
        got = out.empty() || !zlib_ ? 0 : Inflate(out);
    } else {
        got = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(out.size()), end_ - next_));
        bytes_.Copy(next_, out.first(got));
        next_ += static_cast<std::int64_t>(got);
    }
    delivered_ += got;
    return got;
}

std::size_t FrameData::Inflate(std::span<char> out) {
    z_stream& z = *zlib_;
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    while (!ended_ && z.avail_out > 0) {
        if (z.avail_in == 0 && next_ < end_) {
            input_.resize(static_cast<std::size_t>(std::min<std::int64_t>(kChunk, end_ - next_)));
            bytes_.Copy(next_, input_);
            next_ += static_cast<std::int64_t>(input_.size());
            z.next_in = reinterpret_cast<Bytef*>(input_.data());
            z.avail_in = static_cast<uInt>(input_.size());
        }
        const uInt before = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        // The end of the stream, a broken one, or no progress with nothing left to give it.
        if (status != Z_OK || (z.avail_out == before && z.avail_in == 0 && next_ >= end_)) {
            ended_ = true;
        }
    }
    return out.size() - z.avail_out;
}

std::string FrameData::ReadAll() {
    // Room for all the data can give, which the system provides only as it is written: a
    // stored frame is read at once, an inflated one chunk by chunk, and nothing is copied twice.
    const auto total = static_cast<std::size_t>(MaxSize() - delivered_);
    std::string data;
    data.reserve(total);
    for (;;) {
        const std::size_t before = data.size();
        data.resize(compressed_ ? std::min(total, before + kChunk) : total);
        const std::size_t got =
            before < data.size() ? Read(std::span<char>(data).subspan(before)) : 0;
        data.resize(before + got);
        if (got == 0) {
            return data;
        }
    }
}

bool FrameData::OverLimit() {
    if (delivered_ < limit_ || limit_ >= capacity_) {
        return false;
    }
    if (!compressed_) {
        return true;  // stored bytes beyond the limit
    }
    // One more byte past the limit tells.
    char probe = '\0';
    const std::uint64_t limit = limit_;
    limit_ = delivered_ + 1;
    const bool more = Read(std::span<char>(&probe, 1)) == 1;
    limit_ = limit;
    return more;
}

namespace {

// Upper-cases an identifier byte the way the Windows-1252 code page does for the characters
// that matter here; other bytes stay as they are and fail the character test.
char UpperIdChar(char c) {
    switch (static_cast<unsigned char>(c)) {
        case 0xE4:
            return static_cast<char>(0xC4);
        case 0xF6:
            return static_cast<char>(0xD6);
        case 0xFC:
            return static_cast<char>(0xDC);
        default:
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
}

struct SplitFault {
    std::string description;
};

// Whether cutting a frame's data after what was kept changes what its value shows. A value
// starts at index 0, 1 or 4 of the data and is shown up to its first NUL; numbers take all.
bool CutShows(const Id3v2Frame& frame) {
    static constexpr std::array<std::string_view, 5> kNumbers = {"PCNT", "TLE", "TLEN", "TSI",
                                                                 "TSIZ"};
    return std::find(kNumbers.begin(), kNumbers.end(), frame.Id) != kNumbers.end() ||
           frame.Data.find('\0', 4) == std::string::npos;
}

std::string MiB(std::size_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

}  // namespace

std::int32_t ParseFrames(MessageBox& messages, TagBody& body, const Id3v2TagHeader& header,
                         std::vector<Id3v2Frame>& frames) {
    frames.clear();
    const std::int64_t tagSize = header.TagSize;
    const std::int64_t last = body.Length() - 1;  // index of the body's closing zero byte
    const int idLength = header.IdLength;
    const std::int64_t frameHeaderSize = header.FrameHeaderSize;
    std::uint64_t budgetLeft = kInflateBudget;
    bool budgetShown = false;
    std::uint64_t storedLeft = kStoredBudget;
    bool frameCutShown = false;
    bool tagCutShown = false;
    try {
        std::int64_t p = 0;
        while (p < tagSize) {
            if (frames.size() == kMaxFrames) {
                messages.Show("the tag holds more than " + std::to_string(kMaxFrames) +
                                  " frames; those past them are not read",
                              "ReadID3-SF", MessageIcon::Critical);
                break;
            }
            if (p + idLength - 1 > last) {
                throw SplitFault{"frame identifier reaches past the end of the tag"};
            }
            std::string id(static_cast<std::size_t>(idLength), '\0');
            for (int i = 0; i < idLength; ++i) {
                id[static_cast<std::size_t>(i)] = UpperIdChar(static_cast<char>(body.At(p + i)));
            }
            // Every character is tested; a zero byte (the padding) ends the list here.
            if (!std::all_of(id.begin(), id.end(), [](char c) {
                    return c != '\0' && kIdentifierChars.find(c) != std::string_view::npos;
                })) {
                break;
            }
            if (p + 2 * idLength - 1 > last) {
                throw SplitFault{"frame size reaches past the end of the tag"};
            }
            const std::uint64_t size = ReadBigEndian(body.Bytes(p + idLength, idLength));
            if (size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
                throw SplitFault{"frame size does not fit a 32-bit signed number"};
            }
            // Measured against the whole body, not what is left of it.
            if (static_cast<std::int64_t>(size) > tagSize) {
                break;
            }
            Id3v2Frame frame;
            frame.Id = std::move(id);
            frame.Size = static_cast<std::int32_t>(size);
            bool keep = true;
            if (size != 0) {
                const std::int64_t dataAt = p + frameHeaderSize;
                const auto n = static_cast<std::int64_t>(size);
                if (header.MajorVersion == 3) {
                    frame.StatusFlags = body.At(p + 8);
                    frame.FormatFlags = body.At(p + 9);
                }
                const bool compressed = header.MajorVersion == 3 && (frame.FormatFlags & 0x80U);
                if (frame.Id != "APIC") {
                    if (dataAt + n - 1 > last) {
                        throw SplitFault{"frame data reaches past the end of the tag"};
                    }
                    if (!compressed) {
                        const std::uint64_t keep =
                            std::min<std::uint64_t>({size, kMaxStoredFrame, storedLeft});
                        FrameData data = body.Data(dataAt, n, false, keep);
                        frame.Data = data.ReadAll();
                        storedLeft -= frame.Data.size();
                        if (!data.OverLimit()) {
                            frame.TailZeros = static_cast<std::uint64_t>(n) - frame.Data.size();
                        } else if (CutShows(frame)) {
                            const bool byFrame = keep == kMaxStoredFrame;
                            bool& shown = byFrame ? frameCutShown : tagCutShown;
                            if (!shown) {
                                messages.Show(
                                    byFrame ? "a frame holds more than " + MiB(kMaxStoredFrame) +
                                                  "; only its first " + MiB(kMaxStoredFrame) +
                                                  " are read"
                                            : "the frames hold more than " + MiB(kStoredBudget) +
                                                  " in all; the frames past that are read cut",
                                    "ReadID3-SF", MessageIcon::Critical);
                                shown = true;
                            }
                        }
                    } else if (n >= 4) {
                        const std::uint64_t limit =
                            std::min<std::uint64_t>(kMaxInflatedFrame, budgetLeft);
                        FrameData data = body.Data(dataAt, n, true, limit);
                        frame.Data = data.ReadAll();
                        if (limit < kMaxInflatedFrame && data.OverLimit()) {
                            // Past the budget a frame shows nothing, and the message comes once.
                            frame.Data.clear();
                            if (!budgetShown) {
                                messages.Show(
                                    "compressed frames inflate to more than " +
                                        std::to_string(kInflateBudget >> 20) +
                                        " MiB in all; the frames past that are shown empty",
                                    "ReadID3-SF", MessageIcon::Critical);
                                budgetShown = true;
                            }
                        } else if (data.OverLimit() && CutShows(frame) && !frameCutShown) {
                            messages.Show("a frame inflates to more than " +
                                              MiB(kMaxInflatedFrame) + "; only its first " +
                                              MiB(kMaxInflatedFrame) + " are read",
                                          "ReadID3-SF", MessageIcon::Critical);
                            frameCutShown = true;
                        }
                        budgetLeft -= std::min<std::uint64_t>(budgetLeft, frame.Data.size());
                    }
                    // A compressed frame too short for its size field has no data to inflate.
                } else if (size < 5) {
                    keep = false;  // the next frame takes its place
                } else {
                    frame.FrameFileOffset = 10 + p;
                }
            }
            if (keep) {
                frames.push_back(std::move(frame));
            }
            p += static_cast<std::int64_t>(size) + frameHeaderSize;
        }
    } catch (const SplitFault& fault) {
        frames.clear();
        messages.Show(fault.description, "ReadID3-SF", MessageIcon::Critical);
        return 0;
    } catch (const std::bad_alloc&) {
        frames.clear();
        messages.Show("Out of memory", "ReadID3-SF", MessageIcon::Critical);
        return 0;
    }
    return static_cast<std::int32_t>(frames.size());
}

void ReadId3v2(FileAccess& files, MessageBox& messages, const std::string& path,
               Id3v2TagHeader& header, std::vector<Id3v2Frame>& frames) {
    header.FramesRead = 0;
    header.MajorVersion = 0;
    const auto file = files.OpenRead(path);
    if (!file) {
        return;
    }
    // One block holds the tag header and, for most tags, every frame but the pictures.
    ByteView bytes(*file, TagBody::kFirstBlock, TagBody::kBodyWindow);
    const auto marker = ReadId3v2Marker(bytes);
    if (!marker) {
        return;
    }
    header.TagSize = marker->Size;
    switch (marker->Version) {
        case 2:
            header.MajorVersion = 2;
            header.IdLength = 3;
            header.FrameHeaderSize = 6;
            break;
        case 3:
            header.MajorVersion = 3;
            header.IdLength = 4;
            header.FrameHeaderSize = 10;
            break;
        case 4:
            header.MajorVersion = 4;
            header.IdLength = 4;
            header.FrameHeaderSize = 10;
            return;
        default:
            return;
    }
    try {
        const std::int64_t held = std::clamp<std::int64_t>(file->Size() - 10, 0, header.TagSize);
        TagBody body(bytes, 10, header.TagSize, held);
        header.FramesRead = ParseFrames(messages, body, header, frames);
    } catch (const std::bad_alloc&) {
        messages.Show("Out of memory", "ReadID3nfo", MessageIcon::Critical);
    }
}

// ---------------------------------------------------------------------------------------------

namespace {

std::string From(const std::string& data, std::size_t position) {  // 1-based, like the table
    return position - 1 < data.size() ? data.substr(position - 1) : std::string{};
}

struct ValueFault {
    const char* description;
};

double NumberOrFault(const std::string& text) {
    const auto number = ReadWholeNumber(text);
    if (!number) {
        throw ValueFault{"Type mismatch"};
    }
    return *number;
}

std::string LengthValue(const std::string& data) {
    const bool encoded = !data.empty() && data[0] == '\0';
    const double milliseconds = NumberOrFault(encoded ? From(data, 2) : data);
    const double seconds = std::floor(milliseconds / 1000.0);
    if (!(seconds >= std::numeric_limits<std::int32_t>::min() &&
          seconds <= std::numeric_limits<std::int32_t>::max())) {
        throw ValueFault{"Overflow"};
    }
    return FormatDuration(static_cast<std::int64_t>(seconds));
}

std::string SizeValue(const std::string& data) {
    const double bytes = RoundHalfEven(NumberOrFault(From(data, 2)));
    if (!(bytes >= std::numeric_limits<std::int32_t>::min() &&
          bytes <= std::numeric_limits<std::int32_t>::max())) {
        throw ValueFault{"Overflow"};
    }
    return std::to_string(static_cast<std::int32_t>(bytes)) + " bytes";
}

}  // namespace

std::string FormatFrameValue(MessageBox& messages, const Id3v2TagHeader& /*header*/,
                             const Id3v2Frame& frame) {
    const std::string& id = frame.Id;
    const std::string& data = frame.Data;
    try {
        if (id == "PIC") {
            return {};
        }
        if (id == "ASPI") {
            return "present";
        }
        if (id == "COMM") {
            return From(data, 5);
        }
        if (id == "IPLS" || id == "LINK" || id == "OWNE") {
            return From(data, 2);
        }
        if (id == "PCNT") {
            return "File has been played " + BigEndianToDecimal(data, frame.TailZeros) + " times";
        }
        if (id == "RBUF") {
            std::string size = data.substr(0, 3);
            size.resize(3, '\0');
            return std::to_string(ReadBigEndian(size)) + " bytes";
        }
        if (id == "SEEK") {
            return "found";
        }
        if (id == "TCOP") {
            return "Copyright \xA9 " + From(data, 2);
        }
        if (id == "TCO" || id == "TCON") {
            return From(data, 2);
        }
        if (id == "TLE" || id == "TLEN") {
            return LengthValue(data);
        }
        if (id == "TPRO") {
            return "Produced (P) " + From(data, 2);
        }
        if (id == "TSI" || id == "TSIZ") {
            return SizeValue(data);
        }
        if (!data.empty() && data[0] == '\0') {
            return From(data, 2);
        }
        return data;
    } catch (const ValueFault& fault) {
        messages.Show(fault.description, "ReadID3dPAT", MessageIcon::Critical);
        return {};
    }
}

}  // namespace veltrane
