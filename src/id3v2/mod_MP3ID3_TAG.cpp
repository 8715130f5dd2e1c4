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
#include <cmath>
#include <limits>
#include <new>
#include <optional>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

std::int32_t DecodeTagSize(std::span<const char, 4> bytes) {
    std::int32_t size = 0;
    for (const char b : bytes) {
        size = size * 128 + static_cast<unsigned char>(b);
    }
    return size;
}

std::string TagBody::Read(std::int64_t from, std::int64_t n) {
    const std::int64_t end = std::min(held_, from + n);
    if (from < 0 || from >= end) {
        return {};
    }
    std::string data(static_cast<std::size_t>(end - from), '\0');
    reader_.Copy(fileOffset_ + from, data);
    return data;
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
    const char* description;
};

std::uint64_t BigEndian(TagBody& body, std::int64_t at, int length) {
    std::uint64_t value = 0;
    for (int i = 0; i < length; ++i) {
        value = (value << 8) | body.At(at + i);
    }
    return value;
}

}  // namespace

std::string InflateDeclared(std::string_view stream, std::uint64_t declaredSize) {
    // Deflate cannot expand by more than about 1032 to 1, so the declared size is trusted only
    // as far as the stream could fill it; the output grows with what is really produced.
    const std::uint64_t reachable = static_cast<std::uint64_t>(stream.size()) * 1032U + 1024U;
    const auto capacity = static_cast<std::size_t>(
        std::min({declaredSize, reachable, static_cast<std::uint64_t>(kMaxInflatedFrame)}));
    std::string out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return out;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    constexpr std::size_t kChunk = 64 * 1024;
    // A stream that does not inflate completely keeps what was produced, as uncompress does.
    int status = Z_OK;
    while (status == Z_OK && out.size() < capacity) {
        const std::size_t before = out.size();
        out.resize(std::min(capacity, before + kChunk));
        z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        z.avail_out = static_cast<uInt>(out.size() - before);
        status = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (status == Z_BUF_ERROR || (status == Z_OK && out.size() == before)) {
            break;  // no progress: the input ran out
        }
    }
    inflateEnd(&z);
    return out;
}

std::int32_t ParseFrames(MessageBox& messages, TagBody& body, const Id3v2TagHeader& header,
                         std::vector<Id3v2Frame>& frames) {
    frames.clear();
    const std::int64_t tagSize = header.TagSize;
    const std::int64_t last = body.Length() - 1;  // index of the body's closing zero byte
    const int idLength = header.IdLength;
    const std::int64_t frameHeaderSize = header.FrameHeaderSize;
    try {
        std::int64_t p = 0;
        while (p < tagSize) {
            if (p + idLength - 1 > last) {
                throw SplitFault{"frame identifier reaches past the end of the tag"};
            }
            std::string id(static_cast<std::size_t>(idLength), '\0');
            for (int i = 0; i < idLength; ++i) {
                id[static_cast<std::size_t>(i)] = UpperIdChar(static_cast<char>(body.At(p + i)));
            }
            // Every character is tested; a zero byte (the padding) ends the list here.
            if (!std::all_of(id.begin(), id.end(), [](char c) {
                    return c != '\0' && FrameIdChars.find(c) != std::string_view::npos;
                })) {
                break;
            }
            if (p + 2 * idLength - 1 > last) {
                throw SplitFault{"frame size reaches past the end of the tag"};
            }
            const std::uint64_t size = BigEndian(body, p + idLength, idLength);
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
                        frame.Data = body.Read(dataAt, n);
                        frame.TailZeros = static_cast<std::uint64_t>(n) - frame.Data.size();
                    } else if (n >= 4) {
                        const std::uint64_t declared = BigEndian(body, dataAt, 4);
                        frame.Data = InflateDeclared(body.Read(dataAt + 4, n - 4), declared);
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
    BlockReader reader(*file, TagBody::kFirstBlock, TagBody::kBodyWindow);
    const auto head = reader.Block(0, 10);
    if (std::string_view(head.data(), 3) != "ID3") {
        return;
    }
    header.TagSize = DecodeTagSize(std::span<const char, 4>(head.data() + 6, 4));
    switch (head[3]) {
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
        TagBody body(reader, 10, header.TagSize, held);
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
            std::uint32_t size = 0;
            for (std::size_t i = 0; i < 3; ++i) {
                size = (size << 8) | (i < data.size() ? static_cast<unsigned char>(data[i]) : 0U);
            }
            return std::to_string(size) + " bytes";
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
