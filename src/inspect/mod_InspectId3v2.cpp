// Tag header (10 bytes): "ID3", major version, revision, flags, body size (4 bytes, 7 bits each).
// A 2.4 tag may end with a footer of the same layout under "3DI".
//
// Frame headers:
//   2.2  id (3)  size (3, base 256)                      data
//   2.3  id (4)  size (4, base 256)  status  format      [decompressed size 4] [method 1] [group 1]
//   2.4  id (4)  size (4, 7 bits)    status  format      [group 1] [method 1] [data length 4]
#include "inspect/mod_InspectId3v2.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <set>

#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3ID3_TAG.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"

namespace veltrane::inspect {

using namespace std::string_view_literals;

namespace {

// A 2.2 or 2.3 tag unsynchronised as a whole is undone in memory, up to this many bytes.
constexpr std::int64_t kUnsyncedBodyCap = 8 * 1024 * 1024;
// A compressed frame's stored bytes read to inflate what is kept of it.
constexpr std::size_t kCompressedInput = 4 * kHeldBytes;
// What is read of a frame that is not text: enough for a picture's fields and signature.
constexpr std::size_t kHeadBytes = 4096;

// The 2.4 identifiers: those of 2.3 that 2.4 keeps, and those it adds.
constexpr std::array<std::string_view, 83> kFrameIds24 = {
    "AENC", "APIC", "ASPI", "COMM", "COMR", "ENCR", "EQU2", "ETCO", "GEOB", "GRID", "LINK", "MCDI",
    "MLLT", "OWNE", "PRIV", "PCNT", "POPM", "POSS", "RBUF", "RVA2", "RVRB", "SEEK", "SIGN", "SYLT",
    "SYTC", "TALB", "TBPM", "TCOM", "TCON", "TCOP", "TDEN", "TDLY", "TDOR", "TDRC", "TDRL", "TDTG",
    "TENC", "TEXT", "TFLT", "TIPL", "TIT1", "TIT2", "TIT3", "TKEY", "TLAN", "TLEN", "TMCL", "TMED",
    "TMOO", "TOAL", "TOFN", "TOLY", "TOPE", "TOWN", "TPE1", "TPE2", "TPE3", "TPE4", "TPOS", "TPRO",
    "TPUB", "TRCK", "TRSN", "TRSO", "TSOA", "TSOP", "TSOT", "TSRC", "TSSE", "TSST", "TXXX", "UFID",
    "USER", "USLT", "WCOM", "WCOP", "WOAF", "WOAR", "WOAS", "WORS", "WPAY", "WPUB", "WXXX",
};

template <std::size_t N>
constexpr std::array<std::string_view, N> Sorted(std::array<std::string_view, N> ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool KnownId(int major, std::string_view id) {
    static const auto kIds22 = Sorted(FrameIds22);
    static const auto kIds23 = Sorted(FrameIds23);
    static constexpr auto kIds24 = Sorted(kFrameIds24);
    // The chapter frames come from an addendum to 2.3 and 2.4.
    if (major >= 3 && (id == "CHAP" || id == "CTOC")) {
        return true;
    }
    return major == 2   ? std::binary_search(kIds22.begin(), kIds22.end(), id)
           : major == 3 ? std::binary_search(kIds23.begin(), kIds23.end(), id)
                        : std::binary_search(kIds24.begin(), kIds24.end(), id);
}

bool IdChars(std::string_view id) {
    return std::all_of(id.begin(), id.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

unsigned char U(char c) {
    return static_cast<unsigned char>(c);
}

std::optional<std::uint32_t> Synchsafe(std::string_view b) {
    std::uint32_t value = 0;
    for (const char c : b) {
        if (U(c) >= 0x80) {
            return std::nullopt;
        }
        value = value << 7 | U(c);
    }
    return value;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Undoes unsynchronisation: every 0x00 that follows 0xFF goes. falseSync tells whether a 0xFF
// is followed by a byte that unsynchronisation would have broken up (0xE0 and above), which
// means it was flagged but never applied.
std::string Resync(std::string_view raw, bool& falseSync, std::vector<std::uint32_t>* removed) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        out.push_back(raw[i]);
        if (U(raw[i]) == 0xFF && i + 1 < raw.size()) {
            if (raw[i + 1] == '\0') {
                if (removed != nullptr) {
                    removed->push_back(static_cast<std::uint32_t>(out.size()));
                }
                ++i;
            } else if (U(raw[i + 1]) >= 0xE0) {
                falseSync = true;
            }
        }
    }
    return out;
}

struct Encoded {
    std::string_view name;
    std::size_t unit = 1;  // bytes of a terminator
};

Encoded EncodingOf(int encoding) {
    switch (encoding) {
        case 1:
            return {"UTF-16", 2};
        case 2:
            return {"UTF-16BE", 2};
        case 3:
            return {"UTF-8", 1};
        default:
            return {"ISO-8859-1", 1};
    }
}

// The text up to its terminator and what follows the terminator (nothing without one).
std::pair<std::string_view, std::string_view> SplitTerminated(std::string_view bytes,
                                                              std::size_t unit) {
    for (std::size_t i = 0; i + unit <= bytes.size(); i += unit) {
        if (bytes[i] == '\0' && (unit == 1 || bytes[i + 1] == '\0')) {
            return {bytes.substr(0, i), bytes.substr(i + unit)};
        }
    }
    return {bytes, bytes.substr(bytes.size())};
}

// Decodes one frame at a time, its notes placed at the frame's offset.
class FrameDecoder {
  public:
    FrameDecoder(int major, std::int64_t offset, std::vector<Note>& notes)
        : major_(major), offset_(offset), notes_(notes) {}

    void Note(Severity severity, std::string text) {
        notes_.push_back({severity, offset_, std::move(text)});
    }

    // One string of the given encoding as UTF-8.
    std::string Decode(int encoding, std::string_view bytes) {
        if (encoding == 0) {
            return Latin1ToUtf8(bytes);
        }
        if (encoding == 3) {
            bool valid = true;
            std::string text = CleanUtf8(bytes, valid);
            if (!valid) {
                Note(Severity::Warning, "text that is not valid UTF-8, shown with U+FFFD");
            }
            return text;
        }
        bool big = encoding == 2;
        if (encoding == 1) {
            if (bytes.size() >= 2 && U(bytes[0]) == 0xFF && U(bytes[1]) == 0xFE) {
                bytes.remove_prefix(2);
            } else if (bytes.size() >= 2 && U(bytes[0]) == 0xFE && U(bytes[1]) == 0xFF) {
                bytes.remove_prefix(2);
                big = true;
            } else if (!bytes.empty() && !bomlessNoted_) {
                bomlessNoted_ = true;
                Note(Severity::Warning,
                     "UTF-16 text without a byte order mark, read as little-endian");
            }
        }
        std::string out;
        bool bad = bytes.size() % 2 != 0;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const auto unit = [&](std::size_t at) -> std::uint32_t {
                return big ? U(bytes[at]) << 8 | U(bytes[at + 1])
                           : U(bytes[at + 1]) << 8 | U(bytes[at]);
            };
            std::uint32_t cp = unit(i);
            if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
                unit(i + 2) < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
                i += 2;
            } else if (cp >= 0xD800 && cp < 0xE000) {
                cp = 0xFFFD;
                bad = true;
            }
            AppendUtf8(out, cp);
        }
        if (bad) {
            Note(Severity::Warning, "UTF-16 text that cannot be decoded, shown with U+FFFD");
        }
        return out;
    }

    // The encoding byte: a valid one for the version, or a note and ISO-8859-1.
    int Encoding(unsigned char byte, std::optional<std::string>& name) {
        int encoding = byte;
        if (byte > 3) {
            Note(Severity::Warning, "text encoding byte " + std::to_string(byte) +
                                        " is not valid, read as ISO-8859-1");
            encoding = 0;
        } else if (byte >= 2 && major_ < 4) {
            Note(Severity::Warning, std::string("text encoding ") +
                                        std::string(EncodingOf(byte).name) +
                                        " is not defined before ID3v2.4");
        }
        name = std::string(EncodingOf(encoding).name);
        return encoding;
    }

    // The values of a text: in 2.4 every NUL-separated value, before it the first alone, with a
    // note when more than terminators follow it.
    std::vector<std::string> Values(int encoding, std::string_view bytes) {
        const std::size_t unit = EncodingOf(encoding).unit;
        std::vector<std::string> values;
        if (major_ < 4) {
            const auto [text, rest] = SplitTerminated(bytes, unit);
            values.push_back(Decode(encoding, text));
            if (std::any_of(rest.begin(), rest.end(), [](char c) { return c != '\0'; })) {
                Note(Severity::Info, "bytes follow the text's terminator");
            }
            return values;
        }
        while (!bytes.empty() && values.size() < kMaxEntries) {
            const auto [text, rest] = SplitTerminated(bytes, unit);
            values.push_back(Decode(encoding, text));
            bytes = rest;
        }
        if (values.empty()) {
            values.emplace_back();
        }
        return values;
    }

  private:
    int major_;
    std::int64_t offset_;
    std::vector<veltrane::inspect::Note>& notes_;
    bool bomlessNoted_ = false;
};

std::string FormatOf(std::string_view image) {
    if (image.starts_with("\xFF\xD8\xFF")) {
        return "jpeg";
    }
    if (image.starts_with("\x89PNG\r\n\x1A\n")) {
        return "png";
    }
    if (image.starts_with("GIF87a") || image.starts_with("GIF89a")) {
        return "gif";
    }
    if (image.starts_with("BM")) {
        return "bmp";
    }
    if (image.size() >= 12 && image.starts_with("RIFF") && image.substr(8, 4) == "WEBP") {
        return "webp";
    }
    return "unknown";
}

// The format a MIME type (or a 2.2 image format) names, empty for one not known here.
std::string FormatOfMime(std::string_view mime) {
    const std::string m = ToUpperAscii(mime);
    if (m == "IMAGE/JPEG" || m == "IMAGE/JPG" || m == "JPG" || m == "JPEG") {
        return "jpeg";
    }
    if (m == "IMAGE/PNG" || m == "PNG") {
        return "png";
    }
    if (m == "IMAGE/GIF" || m == "GIF") {
        return "gif";
    }
    if (m == "IMAGE/BMP" || m == "IMAGE/X-MS-BMP" || m == "BMP") {
        return "bmp";
    }
    if (m == "IMAGE/WEBP") {
        return "webp";
    }
    return {};
}

// The tag body as the frames see it: the stored bytes, or for a tag unsynchronised as a whole
// the bytes with the unsynchronisation undone, held in memory.
class Body {
  public:
    Body(ByteView& bytes, std::int64_t start, std::int64_t length)
        : bytes_(bytes), start_(start), length_(length) {}
    // How many of the body's bytes the file holds.
    std::int64_t Held() const {
        return resynced_ ? length_ : std::clamp<std::int64_t>(bytes_.Size() - start_, 0, length_);
    }

    // Undoes the whole tag's unsynchronisation; false when the body is too large for it.
    bool Resynchronise(bool& falseSync) {
        if (length_ > kUnsyncedBodyCap) {
            return false;
        }
        const std::string raw = bytes_.Bytes(start_, static_cast<std::size_t>(Held()));
        resynced_ = Resync(raw, falseSync, &removed_);
        length_ = static_cast<std::int64_t>(resynced_->size());
        return true;
    }
    std::int64_t Length() const { return length_; }
    // n bytes from index from, zeros past the body's end.
    std::string Get(std::int64_t from, std::size_t n) {
        if (from < 0 || from >= length_) {
            return std::string(n, '\0');
        }
        n = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(n), length_ - from));
        if (resynced_) {
            return resynced_->substr(static_cast<std::size_t>(from), n);
        }
        return bytes_.Bytes(start_ + from, n);
    }
    // The file offset of a body index.
    std::int64_t FileOffset(std::int64_t index) const {
        const auto before =
            std::upper_bound(removed_.begin(), removed_.end(), static_cast<std::uint32_t>(index));
        return start_ + index + (before - removed_.begin());
    }

  private:
    ByteView& bytes_;
    std::int64_t start_;
    std::int64_t length_;
    std::optional<std::string> resynced_;
    std::vector<std::uint32_t> removed_;  // body indexes at which a stored 0x00 went
};

// Inflates up to limit bytes of a zlib stream; ok tells whether the stream could be read.
std::string InflateSome(std::string_view stream, std::size_t limit, bool& ok) {
    std::string out(limit, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        ok = false;
        return {};
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_SYNC_FLUSH);
    ok = status == Z_OK || status == Z_STREAM_END || (status == Z_BUF_ERROR && z.avail_out == 0);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

class TagReader {
  public:
    TagReader(ByteView& bytes, Id3v2Tag& tag, std::vector<Note>& notes, TextBudget& budget)
        : bytes_(bytes), tag_(tag), notes_(notes), budget_(budget) {}

    void Read() {
        const std::int64_t bodyLength =
            tag_.size - 10 - (tag_.major == 4 && (flagsByte_ & 0x10) ? 10 : 0);
        Body body(bytes_, tag_.offset + 10, bodyLength);
        const bool wholeUnsync = tag_.major < 4 && (flagsByte_ & 0x80);
        if (wholeUnsync) {
            bool falseSync = false;
            if (!body.Resynchronise(falseSync)) {
                Add(Severity::Info, tag_.offset,
                    "the unsynchronised tag is too large to be read here; its frames are not "
                    "listed");
                return;
            }
            if (falseSync) {
                Add(Severity::Warning, tag_.offset, "unsynchronisation is flagged but not applied");
            }
        }
        if (tag_.major == 2 && (flagsByte_ & 0x40)) {
            Add(Severity::Warning, tag_.offset,
                "the tag is flagged as compressed, which ID3v2.2 never defined; its frames are "
                "not read");
            return;
        }
        std::int64_t pos = 0;
        if (tag_.major >= 3 && (flagsByte_ & 0x40) && IdChars(body.Get(0, 4))) {
            Add(Severity::Warning, tag_.offset + 10,
                "an extended header is flagged, but a frame stands where it would; read as a "
                "frame");
        } else if (tag_.major >= 3 && (flagsByte_ & 0x40)) {
            const std::string ext = body.Get(0, 4);
            std::int64_t extSize = 0;
            if (tag_.major == 3) {
                extSize = 4 + static_cast<std::int64_t>(ReadBigEndian(ext));
            } else {
                extSize = Synchsafe(ext).value_or(0);
            }
            if (extSize < 6 || extSize > body.Length()) {
                Add(Severity::Error, tag_.offset + 10,
                    "the extended header's size does not fit the tag; its frames are not read");
                return;
            }
            tag_.extendedHeader = extSize;
            pos = extSize;
        }
        Frames(body, pos);
    }

    std::uint8_t flagsByte_ = 0;

  private:
    void Add(Severity severity, std::int64_t offset, std::string text) {
        notes_.push_back({severity, offset, std::move(text)});
    }

    std::size_t IdLength() const { return tag_.major == 2 ? 3 : 4; }
    std::int64_t HeaderLength() const { return tag_.major == 2 ? 6 : 10; }

    // Whether a frame or the padding can start at index at (or the body ends there).
    bool FrameCanStart(Body& body, std::int64_t at) {
        if (at == body.Length()) {
            return true;
        }
        if (at > body.Length() || at < 0) {
            return false;
        }
        const std::string id = body.Get(at, IdLength());
        return id[0] == '\0' || IdChars(id);
    }

    void Frames(Body& body, std::int64_t pos) {
        const std::int64_t header = HeaderLength();
        std::set<std::string> textIds;
        for (;;) {
            if (pos + header > body.Length()) {
                break;
            }
            const std::string head = body.Get(pos, static_cast<std::size_t>(header));
            const std::string id = head.substr(0, IdLength());
            const std::int64_t fileOffset = body.FileOffset(pos);
            if (id[0] == '\0') {
                break;
            }
            if (!IdChars(id)) {
                if (U(id[0]) == 0xFF && (U(id[1]) & 0xE0) == 0xE0) {
                    Add(Severity::Error, fileOffset,
                        "the tag's size runs into the audio, which starts here");
                } else {
                    Add(Severity::Error, fileOffset,
                        "no valid frame ID (\"" + Hex(id) +
                            "\" in hex); the rest of the tag is not read");
                }
                tag_.padding = 0;
                return;
            }
            if (tag_.frames.size() == kMaxEntries) {
                Add(Severity::Info, fileOffset,
                    "more than " + std::to_string(kMaxEntries) +
                        " frames; the rest are not listed");
                return;
            }
            const std::string_view sizeBytes =
                std::string_view(head).substr(IdLength(), tag_.major == 2 ? 3 : 4);
            std::int64_t size = static_cast<std::int64_t>(ReadBigEndian(sizeBytes));
            if (tag_.major == 4) {
                const auto synchsafe = Synchsafe(sizeBytes);
                if (!tag_.plainSizes &&
                    (!synchsafe ||
                     (*synchsafe != size && !FrameCanStart(body, pos + header + *synchsafe) &&
                      FrameCanStart(body, pos + header + size)))) {
                    tag_.plainSizes = true;
                    Add(Severity::Warning, fileOffset,
                        "frame sizes are written as plain integers, not synchsafe ones; read as "
                        "such");
                }
                if (!tag_.plainSizes) {
                    size = *synchsafe;
                }
            }
            Id3v2Frame frame;
            frame.offset = fileOffset;
            frame.id = id;
            frame.size = size;
            const auto status = tag_.major == 2 ? 0 : U(head[8]);
            const auto format = tag_.major == 2 ? 0 : U(head[9]);
            if (!KnownId(tag_.major, id) && unknownIds_.insert(id).second) {
                Add(Severity::Warning, fileOffset,
                    "frame ID " + id + " is not defined for ID3v2." + std::to_string(tag_.major));
            }
            if (pos + header + size > body.Length()) {
                Add(Severity::Error, fileOffset,
                    "frame " + id + " runs past the end of the tag; it cannot be read");
                tag_.frames.push_back(std::move(frame));
                tag_.padding = 0;
                return;
            }
            if (id[0] == 'T' && id != "TXXX" && id != "TXX" && !textIds.insert(id).second) {
                Add(Severity::Warning, fileOffset, "text frame " + id + " is present twice");
            }
            Content(body, pos + header, size, status, format, frame);
            tag_.frames.push_back(std::move(frame));
            pos += header + size;
        }
        tag_.padding = std::max<std::int64_t>(0, body.Length() - pos);
        // Only what the file holds: past its end the padding reads as zeros anyway.
        const std::int64_t held = body.Held();
        for (std::int64_t at = pos; at < held; at += 4096) {
            const std::string chunk =
                body.Get(at, static_cast<std::size_t>(std::min<std::int64_t>(4096, held - at)));
            const auto nonZero = chunk.find_first_not_of('\0');
            if (nonZero != std::string::npos) {
                const std::int64_t offset =
                    body.FileOffset(at + static_cast<std::int64_t>(nonZero));
                const std::string sync = body.Get(at + static_cast<std::int64_t>(nonZero), 2);
                if (U(sync[0]) == 0xFF && (U(sync[1]) & 0xE0) == 0xE0) {
                    Add(Severity::Error, offset,
                        "the tag's size runs into the audio, which starts here");
                } else {
                    Add(Severity::Warning, offset, "the padding holds non-zero bytes");
                }
                break;
            }
        }
    }

    void Content(Body& body, std::int64_t at, std::int64_t size, unsigned status, unsigned format,
                 Id3v2Frame& frame) {
        bool compressed = false, encrypted = false, grouped = false, unsync = false, dli = false;
        if (tag_.major == 3) {
            const std::pair<unsigned, const char*> names[] = {{0x80, "tag-alter-preservation"},
                                                              {0x40, "file-alter-preservation"},
                                                              {0x20, "read-only"}};
            for (const auto& [bit, name] : names) {
                if (status & bit) {
                    frame.flags.emplace_back(name);
                }
            }
            grouped = format & 0x20;
            compressed = format & 0x80;
            encrypted = format & 0x40;
        } else if (tag_.major == 4) {
            const std::pair<unsigned, const char*> names[] = {{0x40, "tag-alter-preservation"},
                                                              {0x20, "file-alter-preservation"},
                                                              {0x10, "read-only"}};
            for (const auto& [bit, name] : names) {
                if (status & bit) {
                    frame.flags.emplace_back(name);
                }
            }
            grouped = format & 0x40;
            compressed = format & 0x08;
            encrypted = format & 0x04;
            unsync = (format & 0x02) || (flagsByte_ & 0x80);
            dli = format & 0x01;
        }
        if (grouped) {
            frame.flags.emplace_back("grouping");
        }
        if (compressed) {
            frame.flags.emplace_back("compression");
        }
        if (encrypted) {
            frame.flags.emplace_back("encryption");
        }
        if (tag_.major == 4 && (format & 0x02)) {
            frame.flags.emplace_back("unsynchronisation");
        }
        if (dli) {
            frame.flags.emplace_back("data-length-indicator");
        }
        // The bytes between the header and the data, in each version's order.
        std::int64_t extra = 0;
        std::optional<std::int64_t> decodedLength;
        if (tag_.major == 3 && compressed) {
            decodedLength = static_cast<std::int64_t>(ReadBigEndian(body.Get(at, 4)));
            extra += 4;
        }
        extra += (encrypted ? 1 : 0) + (grouped ? 1 : 0);
        if (dli) {
            decodedLength = Synchsafe(body.Get(at + extra, 4)).value_or(0);
            extra += 4;
        }
        if (extra > size) {
            Add(Severity::Error, frame.offset,
                "frame " + frame.id + " is too short for the fields its flags announce");
            return;
        }
        if (encrypted) {
            return;  // listed, never decoded
        }
        if (tag_.major == 4 && compressed && !dli) {
            Add(Severity::Warning, frame.offset,
                "compressed frame " + frame.id + " has no data length indicator");
        }
        const std::int64_t stored = size - extra;
        // Undoing unsynchronisation only ever shortens the data; a larger length is not believed.
        if (!compressed && decodedLength && *decodedLength > stored) {
            Add(Severity::Warning, frame.offset,
                "frame " + frame.id + "'s data length indicator (" +
                    std::to_string(*decodedLength) + ") exceeds its " + std::to_string(stored) +
                    " bytes of data");
            decodedLength = stored;
        }
        // Text is kept whole up to the limit; of a picture or any other frame only the head is
        // decoded (the fields before the image, its signature), so no image is read whole.
        const bool text = frame.id[0] == 'T' || frame.id[0] == 'W' || frame.id == "COMM" ||
                          frame.id == "USLT" || frame.id == "COM" || frame.id == "ULT";
        // Past the file's budget for text, each further frame is shown cut short.
        const std::size_t held = budget_.Held(text ? kHeldBytes : kHeadBytes);
        const std::size_t want = compressed ? kCompressedInput : unsync ? 2 * held : held;
        std::string data = body.Get(at + extra, static_cast<std::size_t>(std::min<std::int64_t>(
                                                    stored, static_cast<std::int64_t>(want))));
        bool whole = stored <= static_cast<std::int64_t>(want);
        FrameDecoder decoder(tag_.major, frame.offset, notes_);
        if (unsync) {
            bool falseSync = false;
            data = Resync(data, falseSync, nullptr);
            if (falseSync) {
                decoder.Note(Severity::Warning, "unsynchronisation is flagged but not applied");
            }
        }
        if (compressed) {
            if (inflated_ >= kInflateBudget) {
                decoder.Note(Severity::Info,
                             "compressed frame not inflated: the tag's inflate budget is spent");
                return;
            }
            bool ok = true;
            data = InflateSome(data, held, ok);
            inflated_ += data.size();
            if (!ok) {
                decoder.Note(Severity::Error, "compressed frame " + frame.id +
                                                  " does not inflate; it cannot be read");
                return;
            }
            whole = decodedLength && *decodedLength <= static_cast<std::int64_t>(data.size());
        }
        const std::int64_t fullLength =
            decodedLength.value_or(whole ? static_cast<std::int64_t>(data.size()) : stored);
        if (data.size() > held) {
            data.resize(held);
            whole = false;
        }
        budget_.Spend(data.size());
        Decode(frame, data, whole, fullLength, unsync, decoder);
    }

    void Decode(Id3v2Frame& frame, std::string_view data, bool whole, std::int64_t fullLength,
                bool unsync, FrameDecoder& decoder) {
        const std::string_view all = data;
        std::string id = frame.id;
        static constexpr std::pair<std::string_view, std::string_view> kOld[] = {
            {"TXX", "TXXX"}, {"WXX", "WXXX"}, {"COM", "COMM"}, {"ULT", "USLT"},
            {"PIC", "APIC"}, {"UFI", "UFID"}, {"CNT", "PCNT"}, {"POP", "POPM"}};
        for (const auto& [old, now] : kOld) {
            if (id == old) {
                id = now;
            }
        }
        const auto cutNote = [&] {
            if (!whole) {
                decoder.Note(Severity::Info,
                             "text shown cut at " + std::to_string(data.size()) + " of its bytes");
            }
        };
        const auto encodingByte = [&]() -> int {
            const int encoding = decoder.Encoding(U(data[0]), frame.encoding);
            data.remove_prefix(1);
            return encoding;
        };
        if (data.empty()) {
            return;
        }
        if (id == "TXXX" || id == "WXXX") {
            const int encoding = encodingByte();
            const auto [description, rest] = SplitTerminated(data, EncodingOf(encoding).unit);
            frame.description = decoder.Decode(encoding, description);
            if (id == "TXXX") {
                frame.text = decoder.Values(encoding, rest);
            } else {
                frame.url = Latin1ToUtf8(SplitTerminated(rest, 1).first);
            }
            cutNote();
        } else if (id[0] == 'T') {
            if (!unsync && tag_.major == 4 && data.starts_with("\x01\xFF\x00\xFE"sv)) {
                decoder.Note(Severity::Warning, "unsynchronisation is applied but not flagged");
            }
            const int encoding = encodingByte();
            frame.text = decoder.Values(encoding, data);
            cutNote();
        } else if (id[0] == 'W') {
            frame.url = Latin1ToUtf8(SplitTerminated(data, 1).first);
        } else if (id == "COMM" || id == "USLT") {
            const int encoding = encodingByte();
            frame.language = Latin1ToUtf8(data.substr(0, 3));
            data.remove_prefix(std::min<std::size_t>(3, data.size()));
            const auto [description, rest] = SplitTerminated(data, EncodingOf(encoding).unit);
            frame.description = decoder.Decode(encoding, description);
            frame.text = decoder.Values(encoding, rest);
            cutNote();
        } else if (id == "APIC") {
            const std::int64_t total = fullLength;
            const int encoding = encodingByte();
            Picture picture;
            if (tag_.major == 2) {
                picture.mime = Latin1ToUtf8(data.substr(0, 3));
                data.remove_prefix(std::min<std::size_t>(3, data.size()));
            } else {
                const auto [mime, rest] = SplitTerminated(data, 1);
                picture.mime = Latin1ToUtf8(mime);
                data = rest;
            }
            picture.type = data.empty() ? 0 : U(data[0]);
            picture.typeName = PictureTypeName(picture.type);
            data.remove_prefix(std::min<std::size_t>(1, data.size()));
            const auto [description, image] = SplitTerminated(data, EncodingOf(encoding).unit);
            picture.description = decoder.Decode(encoding, description);
            const auto prefix = static_cast<std::int64_t>(image.data() - all.data());
            picture.size = std::max<std::int64_t>(0, total - prefix);
            picture.format = FormatOf(image);
            if (!unsync && image.starts_with("\xFF\xD8\xFF\x00"sv)) {
                decoder.Note(Severity::Warning, "unsynchronisation is applied but not flagged");
            }
            const std::string named = FormatOfMime(picture.mime);
            if (!named.empty() && picture.format != "unknown" && named != picture.format) {
                decoder.Note(Severity::Warning, "the picture's MIME type \"" + picture.mime +
                                                    "\" disagrees with its " + picture.format +
                                                    " signature");
            }
            frame.picture = std::move(picture);
        } else if (id == "PRIV" || id == "UFID") {
            const auto [owner, rest] = SplitTerminated(data, 1);
            frame.owner = Latin1ToUtf8(owner);
            frame.data = Hex(rest.substr(0, kDataBytes));
        } else if (id == "PCNT") {
            frame.counter = BigEndianToDecimal(data);
        } else if (id == "POPM") {
            const auto [email, rest] = SplitTerminated(data, 1);
            frame.email = Latin1ToUtf8(email);
            if (!rest.empty()) {
                frame.rating = U(rest[0]);
                frame.counter = BigEndianToDecimal(rest.substr(1));
            }
        } else {
            frame.data = Hex(data.substr(0, kDataBytes));
        }
    }

    ByteView& bytes_;
    Id3v2Tag& tag_;
    std::vector<Note>& notes_;
    TextBudget& budget_;
    std::size_t inflated_ = 0;
    std::set<std::string> unknownIds_;  // each noted once a tag
};

}  // namespace

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(out, U(c));
    }
    return out;
}

std::string CleanUtf8(std::string_view bytes, bool& valid) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = U(bytes[i]);
        std::size_t n = c < 0x80                ? 1
                        : c >= 0xC2 && c < 0xE0 ? 2
                        : c >= 0xE0 && c < 0xF0 ? 3
                        : c >= 0xF0 && c < 0xF5 ? 4
                                                : 0;
        bool ok = n != 0 && i + n <= bytes.size();
        for (std::size_t k = 1; ok && k < n; ++k) {
            ok = (U(bytes[i + k]) & 0xC0) == 0x80;
        }
        if (ok && n == 3) {
            const unsigned c1 = U(bytes[i + 1]);
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        } else if (ok && n == 4) {
            const unsigned c1 = U(bytes[i + 1]);
            ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (ok) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            valid = false;
            ++i;
        }
    }
    return out;
}

std::string Hex(std::string_view bytes) {
    static constexpr std::string_view kDigits = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += kDigits[U(c) >> 4];
        out += kDigits[U(c) & 0xF];
    }
    return out;
}

std::optional<Id3v2Tag> ReadId3v2At(ByteView& bytes, std::int64_t offset, std::vector<Note>& notes,
                                    TextBudget& budget) {
    const std::string head = bytes.Bytes(offset, 10);
    const auto size = Synchsafe(std::string_view(head).substr(6, 4));
    if (!head.starts_with("ID3") || U(head[3]) < 2 || U(head[3]) > 4 || U(head[4]) == 0xFF ||
        !size) {
        return std::nullopt;
    }
    Id3v2Tag tag;
    tag.offset = offset;
    tag.major = U(head[3]);
    tag.revision = U(head[4]);
    const auto flags = U(head[5]);
    const std::pair<unsigned, const char*> names[] = {
        {0x80, "unsynchronisation"},
        {0x40, tag.major == 2 ? "compression" : "extended-header"},
        {0x20, "experimental"},
        {0x10, "footer"}};
    unsigned defined = tag.major == 2 ? 0xC0 : tag.major == 3 ? 0xE0 : 0xF0;
    for (const auto& [bit, name] : names) {
        if (flags & bit & defined) {
            tag.flags.emplace_back(name);
        }
    }
    if (flags & ~defined) {
        notes.push_back(
            {Severity::Warning, offset + 5,
             "tag flags not defined for ID3v2." + std::to_string(tag.major) + " are set"});
    }
    tag.size = 10 + static_cast<std::int64_t>(*size) + (tag.major == 4 && (flags & 0x10) ? 10 : 0);
    TagReader reader(bytes, tag, notes, budget);
    reader.flagsByte_ = static_cast<std::uint8_t>(flags & defined);
    reader.Read();
    return tag;
}

std::optional<std::int64_t> Id3v2FooterStart(ByteView& bytes, std::int64_t end) {
    if (end < 20) {
        return std::nullopt;
    }
    const std::string foot = bytes.Bytes(end - 10, 10);
    const auto size = Synchsafe(std::string_view(foot).substr(6, 4));
    if (!foot.starts_with("3DI") || U(foot[3]) != 4 || !size) {
        return std::nullopt;
    }
    return end - 20 - static_cast<std::int64_t>(*size);
}

}  // namespace veltrane::inspect
