#include "inspect/mod_InspectAudio.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "mpeg/mod_MP3_BinaryHeader.h"

namespace veltrane::inspect {

namespace {

// Enough breaks and notes to see what is wrong with a file, few enough that a file of millions
// of damaged frames costs no more memory than a sound one.
constexpr std::size_t kMaxBreaks = 1000;
constexpr int kMaxChangeNotes = 100;
// No frame is longer than 2881 bytes (MPEG-2 Layer II at 160 kbit/s and 8 kHz, padded); a free
// format frame is looked for that far, with room to spare.
constexpr std::int64_t kFreeFormatReach = 8192;
// A hole of a sparse file is asked for at most once per this many bytes of junk.
constexpr std::int64_t kHoleProbeStep = 1 << 20;
// The longest prefix of a frame the VBR headers need: header, CRC, side information, the Xing
// fields and the LAME extension.
constexpr std::size_t kHeaderPrefix = 4 + 2 + 32 + 120 + 36;

// The row of the MPEG tables' sample rates for each value of the header's version bits: 2.5,
// reserved (a row of zeros), 2, 1.
constexpr std::array<std::size_t, 4> kSampleRateRow{2, 3, 1, 0};
constexpr std::array<std::string_view, 4> kVersionNames{"2.5", "", "2", "1"};
constexpr std::array<std::string_view, 4> kEmphasis{"none", "50/15", "reserved", "CCITT J.17"};

// The fields of a frame header that must stay the same from frame to frame of one stream.
constexpr std::uint32_t kStreamKey = 0x001E0C00;  // version, layer, sample rate

struct Header {
    std::uint32_t word = 0;
    int versionBits = 0;
    int layer = 0;  // 1, 2, 3
    bool crc = false;
    int bitrateIndex = 0;
    int sampleRate = 0;
    bool padding = false;
    int channelMode = 0;
    int emphasis = 0;
    int bitrate = 0;  // bits per second, 0 for free format
    int samples = 0;  // per frame
    int length = 0;   // bytes, 0 for free format

    bool mpeg1() const { return versionBits == 3; }
    bool free() const { return bitrateIndex == 0; }
    std::uint32_t key() const { return word & kStreamKey; }
    // The side information after the header (and its CRC) of a Layer III frame.
    int sideInfo() const {
        const bool mono = channelMode == 3;
        return mpeg1() ? (mono ? 17 : 32) : (mono ? 9 : 17);
    }
};

std::optional<Header> Decode(const unsigned char* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    Header h;
    h.word = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
             (std::uint32_t{b[2]} << 8) | b[3];
    h.versionBits = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    h.bitrateIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (h.versionBits == 1 || layerBits == 0 || h.bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    h.layer = 4 - layerBits;
    h.crc = (b[1] & 1) == 0;
    h.sampleRate = SampleRateTable[kSampleRateRow[static_cast<std::size_t>(h.versionBits)]]
                                  [static_cast<std::size_t>(rateIndex)];
    h.padding = ((b[2] >> 1) & 1) != 0;
    h.channelMode = b[3] >> 6;
    h.emphasis = b[3] & 3;
    const std::size_t row =
        h.mpeg1() ? static_cast<std::size_t>(h.layer - 1) : (h.layer == 1 ? 3U : 4U);
    h.bitrate = BitrateTable[row][static_cast<std::size_t>(h.bitrateIndex)] * 1000;
    h.samples = h.layer == 1 ? 384 : (h.layer == 3 && !h.mpeg1() ? 576 : 1152);
    if (!h.free()) {
        const int pad = h.padding ? 1 : 0;
        if (h.layer == 1) {
            h.length = (12 * h.bitrate / h.sampleRate + pad) * 4;
        } else {
            h.length = h.samples / 8 * h.bitrate / h.sampleRate + pad;
        }
    }
    return h;
}

std::string CountOf(std::int64_t n, std::string_view unit) {
    return std::to_string(n) + " " + std::string(unit) + (n == 1 ? "" : "s");
}

std::string Describe(const Header& h) {
    static constexpr std::array<std::string_view, 4> kLayers{"", "I", "II", "III"};
    return "MPEG-" + std::string(kVersionNames[static_cast<std::size_t>(h.versionBits)]) +
           " Layer " + std::string(kLayers[static_cast<std::size_t>(h.layer)]) + " " +
           std::to_string(h.sampleRate) + " Hz";
}

std::int64_t BigEndian(const unsigned char* b, int width) {
    std::int64_t value = 0;
    for (int i = 0; i < width; ++i) {
        value = (value << 8) | b[i];
    }
    return value;
}

// Sequential access to the view for the walk: the block the view holds is used in place, and a
// read across its end is copied, so the walk makes one read a block, not one a frame.
class Reader {
  public:
    Reader(ByteView& view, std::int64_t end) : view_(view), end_(end) {}
    std::int64_t end() const { return end_; }

    // n bytes at pos (n <= kHeaderPrefix); bytes at or past the span's end read as zeros.
    const unsigned char* At(std::int64_t pos, std::size_t n) {
        const auto wanted = static_cast<std::int64_t>(n);
        if (pos >= base_ && pos + wanted <= base_ + static_cast<std::int64_t>(data_.size())) {
            return Bytes(pos);
        }
        if (pos + wanted <= end_) {
            data_ = Clip(pos, view_.Block(pos));
            base_ = pos;
            if (data_.size() >= n) {
                return Bytes(pos);
            }
        }
        data_ = {};
        scratch_.fill('\0');
        const std::int64_t held = std::clamp<std::int64_t>(end_ - pos, 0, wanted);
        view_.Copy(pos, std::span<char>(scratch_).first(static_cast<std::size_t>(held)));
        return reinterpret_cast<const unsigned char*>(scratch_.data());
    }

    // The bytes from pos to the end of the block holding it, never past the span's end.
    std::span<const char> Span(std::int64_t pos) {
        if (pos < base_ || pos >= base_ + static_cast<std::int64_t>(data_.size())) {
            data_ = Clip(pos, view_.Block(pos));
            base_ = pos;
        }
        return data_.subspan(static_cast<std::size_t>(pos - base_));
    }

    std::int64_t DataFrom(std::int64_t pos) { return view_.DataFrom(pos); }

  private:
    std::span<const char> Clip(std::int64_t pos, std::span<const char> block) const {
        const auto room = static_cast<std::size_t>(std::max<std::int64_t>(0, end_ - pos));
        return block.first(std::min(room, block.size()));
    }
    const unsigned char* Bytes(std::int64_t pos) const {
        return reinterpret_cast<const unsigned char*>(data_.data() + (pos - base_));
    }

    ByteView& view_;
    std::int64_t end_;
    std::span<const char> data_;
    std::int64_t base_ = 0;
    std::array<char, kHeaderPrefix> scratch_{};
};

std::optional<Header> HeaderAt(Reader& reader, std::int64_t pos) {
    if (pos + 4 > reader.end()) {
        return std::nullopt;
    }
    return Decode(reader.At(pos, 4));
}

// The length of a free-format frame: the distance to the next header of the same stream, also
// free format. The stream's last frame ends at the span's end when it is as long as the frame
// before it, give or take the padding byte.
std::optional<std::int64_t> FreeLength(Reader& reader, std::int64_t pos, const Header& h,
                                       std::int64_t previous) {
    const std::int64_t limit = std::min(reader.end() - 4, pos + kFreeFormatReach);
    for (std::int64_t at = pos + 4 + (h.crc ? 2 : 0) + 1; at <= limit;) {
        const auto bytes = reader.Span(at);
        const auto room =
            std::min<std::int64_t>(static_cast<std::int64_t>(bytes.size()), limit + 1 - at);
        if (room <= 0) {
            break;
        }
        const void* hit = std::memchr(bytes.data(), 0xFF, static_cast<std::size_t>(room));
        if (hit == nullptr) {
            at += room;
            continue;
        }
        at += static_cast<const char*>(hit) - bytes.data();
        if (const auto next = HeaderAt(reader, at);
            next && next->key() == h.key() && next->free()) {
            return at - pos;
        }
        ++at;
    }
    const std::int64_t rest = reader.end() - pos;
    if (previous > 0 && std::abs(rest - previous) <= 1) {
        return rest;
    }
    return std::nullopt;
}

std::optional<std::int64_t> FrameLength(Reader& reader, std::int64_t pos, const Header& h,
                                        std::int64_t previousFree = 0) {
    if (!h.free()) {
        return h.length;
    }
    return FreeLength(reader, pos, h, previousFree);
}

// A frame header whose length leads to another of the same version, layer and sample rate, or
// exactly to the end of the span.
bool Confirmed(Reader& reader, std::int64_t pos, const Header& h) {
    const auto length = FrameLength(reader, pos, h);
    if (!length) {
        return false;
    }
    const std::int64_t next = pos + *length;
    if (next == reader.end()) {
        return true;
    }
    const auto following = HeaderAt(reader, next);
    if (!following || following->key() != h.key()) {
        return false;
    }
    if (!h.free()) {
        return true;
    }
    // Two bytes FF Ex with a zero bit rate index are common in junk; a free-format stream is
    // taken only when the next frame has the same length give or take its padding byte.
    const auto second = FreeLength(reader, next, *following, *length);
    return second && std::abs(*second - *length) <= 1;
}

// The first confirmed frame at or after from, stepping over holes of sparse files.
std::optional<std::int64_t> FindConfirmed(Reader& reader, std::int64_t from) {
    // The first probe for a hole comes after a block's worth of search: most files have none.
    std::int64_t probed = from;
    for (std::int64_t at = from; at + 4 <= reader.end();) {
        if (at - probed >= kHoleProbeStep) {
            probed = at;
            const std::int64_t data = reader.DataFrom(at);
            if (data > at) {
                at = data;
                continue;
            }
        }
        const auto bytes = reader.Span(at);
        if (bytes.empty()) {
            break;
        }
        const std::int64_t room =
            std::min<std::int64_t>(static_cast<std::int64_t>(bytes.size()), kHoleProbeStep);
        const void* hit = std::memchr(bytes.data(), 0xFF, static_cast<std::size_t>(room));
        if (hit == nullptr) {
            at += room;
            continue;
        }
        at += static_cast<const char*>(hit) - bytes.data();
        if (const auto h = HeaderAt(reader, at); h && Confirmed(reader, at, *h)) {
            return at;
        }
        ++at;
    }
    return std::nullopt;
}

std::string Printable(const unsigned char* b, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n && b[i] != 0; ++i) {
        out.push_back(static_cast<char>(b[i]));
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::string MethodName(int code) {
    static constexpr std::array<std::string_view, 16> kMethods{
        "unknown",    "cbr",        "abr", "vbr-1", "vbr-2", "vbr-3", "vbr-4", "7",
        "cbr-2-pass", "abr-2-pass", "10",  "11",    "12",    "13",    "14",    "reserved"};
    return std::string(kMethods[static_cast<std::size_t>(code & 15)]);
}

std::optional<ReplayGain> Gain(const unsigned char* b) {
    const int field = static_cast<int>(BigEndian(b, 2));
    const int name = field >> 13;
    if (name == 0) {
        return std::nullopt;
    }
    static constexpr std::array<std::string_view, 4> kOriginators{"unset", "preset", "user",
                                                                  "automatic"};
    const int originator = (field >> 10) & 7;
    ReplayGain gain;
    gain.name = name == 1 ? "radio" : name == 2 ? "audiophile" : std::to_string(name);
    gain.originator = originator < 4
                          ? std::string(kOriginators[static_cast<std::size_t>(originator)])
                          : std::to_string(originator);
    gain.gain = ((field & 0x200) != 0 ? -1 : 1) * (field & 0x1FF) / 10.0;
    return gain;
}

bool LooksLikeVersion(const unsigned char* b) {
    for (int i = 0; i < 4; ++i) {
        if (b[i] < 0x20 || b[i] > 0x7E) {
            return false;
        }
    }
    return b[0] != ' ';
}

// The LAME extension at `at` bytes into the frame whose first bytes are `frame`.
EncoderInfo ReadEncoder(const unsigned char* frame, std::size_t at) {
    const unsigned char* e = frame + at;
    EncoderInfo info;
    info.version = Printable(e, 9);
    info.revision = e[9] >> 4;
    info.methodCode = e[9] & 15;
    info.method = MethodName(info.methodCode);
    info.lowpass = e[10] * 100;
    if (const auto peak = BigEndian(e + 11, 4); peak != 0) {
        info.peak = static_cast<double>(peak) / (1 << 23);
    }
    for (const int field : {15, 17}) {
        if (auto gain = Gain(e + field)) {
            info.replayGain.push_back(std::move(*gain));
        }
    }
    info.flags = e[19] >> 4;
    info.athType = e[19] & 15;
    info.bitrate = e[20];
    info.delay = (e[21] << 4) | (e[22] >> 4);
    info.padding = ((e[22] & 15) << 8) | e[23];
    info.sourceSampleRate = e[24] >> 6;
    info.unwise = (e[24] & 0x20) != 0;
    info.stereoMode = (e[24] >> 2) & 7;
    info.noiseShaping = e[24] & 3;
    info.mp3Gain = static_cast<signed char>(e[25]);
    info.surround = (e[26] >> 3) & 7;
    info.preset = static_cast<int>(BigEndian(e + 26, 2) & 0x7FF);
    info.musicLength = BigEndian(e + 28, 4);
    info.musicCrc = static_cast<int>(BigEndian(e + 32, 2));
    info.crc = static_cast<int>(BigEndian(e + 34, 2));
    const std::span<const char> covered(reinterpret_cast<const char*>(frame), at + 34);
    info.computedCrc = LameCrc(covered);
    info.crcOk = info.computedCrc == info.crc;
    return info;
}

struct FirstFrame {
    std::optional<VbrHeader> vbr;
    std::optional<EncoderInfo> encoder;
};

// The VBR header of the first frame, at the offset the version and channel mode give (Xing,
// Info) or at the fixed one (VBRI); only Layer III frames carry them.
FirstFrame ReadVbrHeader(Reader& reader, std::int64_t pos, const Header& h, std::int64_t length) {
    FirstFrame found;
    if (h.layer != 3) {
        return found;
    }
    const unsigned char* f = reader.At(pos, kHeaderPrefix);
    const auto inFrame = [&](std::size_t to) { return static_cast<std::int64_t>(to) <= length; };
    // The side information follows the header's CRC, but LAME writes its header frame's fields
    // as if there were none; both places are looked at.
    std::size_t xing = 4 + static_cast<std::size_t>(h.sideInfo());
    const auto tagAt = [&](std::size_t at) {
        return std::string_view(reinterpret_cast<const char*>(f + at), 4);
    };
    if (h.crc && tagAt(xing) != "Xing" && tagAt(xing) != "Info") {
        xing += 2;
    }
    const std::string_view xingTag = tagAt(xing);
    if ((xingTag == "Xing" || xingTag == "Info") && inFrame(xing + 8)) {
        VbrHeader v;
        v.kind = std::string(xingTag);
        v.offset = pos;
        v.length = length;
        const auto flags = BigEndian(f + xing + 4, 4);
        std::size_t at = xing + 8;
        if ((flags & 1) != 0 && inFrame(at + 4)) {
            v.frames = BigEndian(f + at, 4);
            at += 4;
        }
        if ((flags & 2) != 0 && inFrame(at + 4)) {
            v.bytes = BigEndian(f + at, 4);
            at += 4;
        }
        if ((flags & 4) != 0 && inFrame(at + 100)) {
            v.toc = true;
            at += 100;
        }
        if ((flags & 8) != 0 && inFrame(at + 4)) {
            v.quality = static_cast<int>(BigEndian(f + at, 4));
            at += 4;
        }
        if (at + 36 <= kHeaderPrefix && inFrame(at + 36) && LooksLikeVersion(f + at)) {
            found.encoder = ReadEncoder(f, at);
        }
        found.vbr = std::move(v);
        return found;
    }
    constexpr std::size_t vbri = 4 + 32;
    if (std::string_view(reinterpret_cast<const char*>(f + vbri), 4) == "VBRI" &&
        inFrame(vbri + 26)) {
        VbrHeader v;
        v.kind = "VBRI";
        v.offset = pos;
        v.length = length;
        v.version = static_cast<int>(BigEndian(f + vbri + 4, 2));
        v.delay = static_cast<int>(BigEndian(f + vbri + 6, 2));
        v.quality = static_cast<int>(BigEndian(f + vbri + 8, 2));
        v.bytes = BigEndian(f + vbri + 10, 4);
        v.frames = BigEndian(f + vbri + 14, 4);
        v.toc = BigEndian(f + vbri + 18, 2) > 0;
        found.vbr = std::move(v);
    }
    return found;
}

// Regions in order, an "audio" run closed by each break that still gets a region of its own.
class MapBuilder {
  public:
    MapBuilder(std::vector<Region>& regions, std::int64_t runStart)
        : regions_(regions), runStart_(runStart) {}
    void Add(std::int64_t offset, std::int64_t length, std::string kind) {
        if (length > 0) {
            regions_.push_back({offset, length, std::move(kind)});
        }
    }
    void Break(std::int64_t offset, std::int64_t length) {
        Add(runStart_, offset - runStart_, "audio");
        Add(offset, length, "junk");
        runStart_ = offset + length;
    }
    void Close(std::int64_t end) {
        Add(runStart_, end - runStart_, "audio");
        runStart_ = end;
    }

  private:
    std::vector<Region>& regions_;
    std::int64_t runStart_;
};

class Walk {
  public:
    Walk(Reader& reader, AudioInspection& audio, std::vector<Note>& notes, MapBuilder& map)
        : reader_(reader), audio_(audio), notes_(notes), map_(map) {}

    // Walks every frame from pos on; returns where the last whole frame ends.
    std::int64_t Run(std::int64_t pos, const Header& first) {
        Header current = first;
        std::int64_t lastEnd = pos;
        std::int64_t previousFree = 0;
        while (pos < reader_.end()) {
            const auto h = HeaderAt(reader_, pos);
            if (h && (h->key() == current.key() || Confirmed(reader_, pos, *h))) {
                const auto length = FrameLength(reader_, pos, *h, previousFree);
                if (length && pos + *length <= reader_.end()) {
                    if (h->key() != current.key()) {
                        Changed(pos, current, *h);
                    }
                    current = *h;
                    Count(*h, *length);
                    previousFree = h->free() ? *length : 0;
                    pos += *length;
                    lastEnd = pos;
                    continue;
                }
                if (!h->free()) {
                    Truncated(pos, reader_.end() - pos, h->length);
                    return lastEnd;
                }
            }
            const auto again = FindConfirmed(reader_, pos + 1);
            const std::int64_t resume = again.value_or(reader_.end());
            LostSync(pos, resume - pos, again.has_value());
            pos = resume;
        }
        return lastEnd;
    }

    void Finish() {
        if (audio_.moreBreaks > 0) {
            notes_.push_back({Severity::Info, audio_.breaks.back().offset,
                              std::to_string(audio_.moreBreaks) +
                                  " more breaks in the stream after this one are not listed; "
                                  "the map counts their bytes as audio"});
        }
        if (changes_ > kMaxChangeNotes) {
            notes_.push_back({Severity::Info, lastChange_,
                              std::to_string(changes_ - kMaxChangeNotes) +
                                  " more changes of version, layer or sample rate are not "
                                  "listed"});
        }
    }

    std::int64_t frames = 0;
    std::int64_t bytes = 0;
    std::int64_t minBitrate = 0;
    std::int64_t maxBitrate = 0;
    bool free = false;
    // Samples by sample rate, so that a duration over a change of rate is summed exactly.
    std::array<std::int64_t, 9> samplesByRate{};
    std::array<int, 9> rates{};

  private:
    void Count(const Header& h, std::int64_t length) {
        ++frames;
        bytes += length;
        const std::int64_t rate =
            h.free() ? length * 8 * h.sampleRate / h.samples : std::int64_t{h.bitrate};
        minBitrate = frames == 1 ? rate : std::min(minBitrate, rate);
        maxBitrate = frames == 1 ? rate : std::max(maxBitrate, rate);
        free = free || h.free();
        const std::size_t slot =
            static_cast<std::size_t>(h.versionBits == 0 ? 0 : h.versionBits - 1) * 3 +
            ((h.word >> 10) & 3);
        samplesByRate[slot] += h.samples;
        rates[slot] = h.sampleRate;
    }

    bool KeepBreak(std::int64_t offset, std::int64_t length, std::string kind) {
        if (audio_.breaks.size() >= kMaxBreaks) {
            ++audio_.moreBreaks;
            return false;
        }
        audio_.breaks.push_back({offset, length, std::move(kind)});
        map_.Break(offset, length);
        return true;
    }

    void LostSync(std::int64_t offset, std::int64_t length, bool foundAgain) {
        if (!KeepBreak(offset, length, "junk")) {
            return;
        }
        if (foundAgain) {
            notes_.push_back({Severity::Error, offset,
                              "lost sync: " + CountOf(length, "byte") +
                                  " with no frame header; the stream is found again at " +
                                  std::to_string(offset + length)});
        } else {
            notes_.push_back(
                {Severity::Warning, offset,
                 CountOf(length, "byte") + " after the last frame, neither audio nor a tag"});
        }
    }

    void Truncated(std::int64_t offset, std::int64_t length, std::int64_t whole) {
        if (KeepBreak(offset, length, "truncated")) {
            notes_.push_back({Severity::Error, offset,
                              "the last frame is cut: " + std::to_string(length) + " of its " +
                                  std::to_string(whole) + " bytes are there"});
        }
    }

    void Changed(std::int64_t offset, const Header& from, const Header& to) {
        ++changes_;
        lastChange_ = offset;
        if (changes_ <= kMaxChangeNotes) {
            notes_.push_back({Severity::Warning, offset,
                              "the frames change from " + Describe(from) + " to " + Describe(to)});
        }
    }

    Reader& reader_;
    AudioInspection& audio_;
    std::vector<Note>& notes_;
    MapBuilder& map_;
    int changes_ = 0;
    std::int64_t lastChange_ = 0;
};

void Describe(AudioInspection& audio, const Header& h) {
    audio.version = std::string(kVersionNames[static_cast<std::size_t>(h.versionBits)]);
    audio.layer = h.layer;
    audio.sampleRate = h.sampleRate;
    audio.channelMode = std::string(ChannelModeNames[static_cast<std::size_t>(h.channelMode)]);
    audio.emphasis = std::string(kEmphasis[static_cast<std::size_t>(h.emphasis)]);
    audio.crc = h.crc;
}

std::string Hex16(int value) {
    static constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string out = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out.push_back(kDigits[static_cast<std::size_t>((value >> shift) & 15)]);
    }
    return out;
}

bool IsAbr(const std::optional<EncoderInfo>& encoder) {
    return encoder && (encoder->methodCode == 2 || encoder->methodCode == 9);
}

}  // namespace

std::uint16_t LameCrc(std::span<const char> bytes, std::uint16_t crc) {
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                                 : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::optional<AudioInspection> InspectAudio(ByteView& view, std::int64_t begin, std::int64_t end,
                                            bool scan, std::vector<Region>& regions,
                                            std::vector<Note>& notes) {
    begin = std::max<std::int64_t>(0, begin);
    end = std::clamp(end, begin, std::max(begin, view.Size()));
    Reader reader(view, end);
    const auto first = FindConfirmed(reader, begin);
    if (!first) {
        if (end > begin) {
            regions.push_back({begin, end - begin, "junk"});
        }
        return std::nullopt;
    }
    const Header header = *HeaderAt(reader, *first);
    const std::int64_t firstLength = FrameLength(reader, *first, header).value_or(0);
    AudioInspection audio;
    audio.offset = *first;
    audio.scanned = scan;
    Describe(audio, header);
    if (*first > begin) {
        regions.push_back({begin, *first - begin, "junk"});
        notes.push_back({Severity::Warning, begin,
                         CountOf(*first - begin, "byte") + " of junk before the first frame"});
    }
    FirstFrame vbr = ReadVbrHeader(reader, *first, header, firstLength);
    std::int64_t audioStart = *first;
    if (vbr.vbr) {
        regions.push_back({*first, firstLength, "vbr-header"});
        audioStart += firstLength;
    }
    audio.vbrHeader = std::move(vbr.vbr);
    audio.encoder = std::move(vbr.encoder);
    if (audio.encoder && !audio.encoder->crcOk) {
        notes.push_back({Severity::Warning, *first,
                         "the LAME tag's CRC " + Hex16(audio.encoder->crc) +
                             " does not match its frame's bytes, which give " +
                             Hex16(audio.encoder->computedCrc)});
    }
    if (header.free()) {
        notes.push_back({Severity::Info, *first,
                         "free-format stream: each frame's length is the distance to the next "
                         "header"});
    }

    const std::int64_t delay = audio.encoder ? audio.encoder->delay : 0;
    const std::int64_t padding = audio.encoder ? audio.encoder->padding : 0;
    if (!scan) {
        if (end > audioStart) {
            regions.push_back({audioStart, end - audioStart, "audio"});
        }
        audio.length = end - *first;
        const std::int64_t audioBytes = end - audioStart;
        // The first audio frame after the header frame sets the rate an estimate goes by.
        Header rated = header;
        if (const auto next = HeaderAt(reader, audioStart); next && next->key() == header.key()) {
            rated = *next;
        }
        const auto& v = audio.vbrHeader;
        if (v && v->frames && *v->frames > 0) {
            audio.frames = *v->frames;
        } else {
            if (v && v->frames) {
                notes.push_back(
                    {Severity::Warning, v->offset, "the " + v->kind + " header counts 0 frames"});
            }
            audio.estimated = true;
            const double frameBytes = rated.free() ? static_cast<double>(firstLength)
                                                   : static_cast<double>(rated.samples) / 8.0 *
                                                         rated.bitrate / rated.sampleRate;
            const double frames = frameBytes > 0 ? static_cast<double>(audioBytes) / frameBytes : 0;
            audio.frames = static_cast<std::int64_t>(frames + 0.5);
            audio.samples = std::max<std::int64_t>(
                0, static_cast<std::int64_t>(frames * rated.samples + 0.5) - delay - padding);
        }
        if (!audio.estimated) {
            audio.samples =
                std::max<std::int64_t>(0, audio.frames * rated.samples - delay - padding);
        }
        audio.duration = static_cast<double>(audio.samples) / rated.sampleRate;
        audio.bitrate.mode = header.free()                                   ? "free"
                             : IsAbr(audio.encoder)                          ? "ABR"
                             : v && (v->kind == "Xing" || v->kind == "VBRI") ? "VBR"
                                                                             : "CBR";
        audio.bitrate.average =
            audio.duration > 0 ? static_cast<std::int64_t>(
                                     static_cast<double>(audioBytes) * 8 / audio.duration + 0.5)
                               : (rated.free() ? 0 : rated.bitrate);
        return audio;
    }

    MapBuilder map(regions, audioStart);
    Walk walk(reader, audio, notes, map);
    const std::int64_t lastEnd = walk.Run(audioStart, header);
    map.Close(end);
    walk.Finish();
    audio.length = lastEnd - *first;
    audio.frames = walk.frames;
    std::int64_t samples = 0;
    double seconds = 0;
    for (std::size_t slot = 0; slot < walk.rates.size(); ++slot) {
        if (walk.rates[slot] > 0) {
            samples += walk.samplesByRate[slot];
            seconds += static_cast<double>(walk.samplesByRate[slot]) / walk.rates[slot];
        }
    }
    const std::int64_t trimmed = std::min(samples, delay + padding);
    audio.samples = samples - trimmed;
    audio.duration = std::max(0.0, seconds - static_cast<double>(trimmed) / header.sampleRate);
    audio.bitrate.min = walk.frames > 0 ? std::optional(walk.minBitrate) : std::nullopt;
    audio.bitrate.max = walk.frames > 0 ? std::optional(walk.maxBitrate) : std::nullopt;
    audio.bitrate.mode = walk.free                            ? "free"
                         : IsAbr(audio.encoder)               ? "ABR"
                         : walk.minBitrate == walk.maxBitrate ? "CBR"
                                                              : "VBR";
    audio.bitrate.average =
        audio.duration > 0
            ? static_cast<std::int64_t>(static_cast<double>(walk.bytes) * 8 / audio.duration + 0.5)
            : 0;
    const auto& v = audio.vbrHeader;
    if (v && v->frames && *v->frames != walk.frames) {
        notes.push_back({Severity::Warning, v->offset,
                         "the " + v->kind + " header counts " + std::to_string(*v->frames) +
                             " frames; the stream holds " + std::to_string(walk.frames)});
    }
    if (!v && audio.bitrate.mode == "VBR") {
        notes.push_back({Severity::Warning, *first,
                         "variable bit rate without a VBR header: a player that reads only the "
                         "first frame gets the duration wrong"});
    }
    return audio;
}

}  // namespace veltrane::inspect
