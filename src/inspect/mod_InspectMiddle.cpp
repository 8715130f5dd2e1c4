// The bytes between the tags, mapped simply: junk up to the first MPEG frame header that the
// next one confirms, audio from there to the end of the span.
#include <algorithm>
#include <cstring>

#include "inspect/mod_Inspect.h"

namespace veltrane::inspect {

namespace {

struct FrameHeader {
    int version = 0;  // 0: MPEG-2.5, 2: MPEG-2, 3: MPEG-1 (the header's own bits)
    int layer = 0;    // 1: Layer III, 2: Layer II, 3: Layer I (the header's own bits)
    int sampleRate = 0;
    std::int64_t length = 0;
};

// Kilobits per second by [MPEG-1?][layer I, II, III][index].
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
constexpr int kSampleRates[3] = {44100, 48000, 32000};

// How far the first frame is looked for: a file that holds none within this reach (a large or
// sparse file that is no MP3) is not read to its end.
constexpr std::int64_t kSearchReach = 1024 * 1024;

// A frame header with a length of its own (free format has none), or nullopt.
std::optional<FrameHeader> Header(const unsigned char* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    FrameHeader h;
    h.version = b[1] >> 3 & 3;
    h.layer = b[1] >> 1 & 3;
    const int bitrateIndex = b[2] >> 4;
    const int rateIndex = b[2] >> 2 & 3;
    if (h.version == 1 || h.layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3) {
        return std::nullopt;
    }
    const bool mpeg1 = h.version == 3;
    const int layer = 4 - h.layer;  // 1, 2, 3
    const int bitrate = kBitrates[mpeg1 ? 1 : 0][layer - 1][bitrateIndex] * 1000;
    h.sampleRate = kSampleRates[rateIndex] >> (mpeg1 ? 0 : h.version == 2 ? 1 : 2);
    const int padding = b[2] >> 1 & 1;
    if (layer == 1) {
        h.length = (12 * bitrate / h.sampleRate + padding) * 4;
    } else {
        const int factor = layer == 3 && !mpeg1 ? 72 : 144;
        h.length = factor * bitrate / h.sampleRate + padding;
    }
    return h;
}

}  // namespace

MiddleMap MapMiddle(ByteView& bytes, std::int64_t begin, std::int64_t end) {
    MiddleMap map;
    if (end <= begin) {
        return map;
    }
    std::int64_t first = -1;
    unsigned char head[4];
    unsigned char next[4];
    const std::int64_t reach = std::min(end, begin + kSearchReach);
    for (std::int64_t at = begin; at + 4 <= reach && first < 0;) {
        const auto block = bytes.Block(at);
        if (block.empty()) {
            break;
        }
        const auto span = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), reach - at));
        const void* found = std::memchr(block.data(), 0xFF, span);
        if (found == nullptr) {
            at += static_cast<std::int64_t>(span);
            continue;
        }
        at += static_cast<const char*>(found) - block.data();
        if (at + 4 > reach) {
            break;
        }
        bytes.Copy(at, std::span<char>(reinterpret_cast<char*>(head), 4));
        const auto h = Header(head);
        if (h) {
            const std::int64_t after = at + h->length;
            if (after == end) {
                first = at;
            } else if (after + 4 <= end) {
                bytes.Copy(after, std::span<char>(reinterpret_cast<char*>(next), 4));
                const auto n = Header(next);
                if (n && n->version == h->version && n->layer == h->layer &&
                    n->sampleRate == h->sampleRate) {
                    first = at;
                }
            }
        }
        ++at;
    }
    const std::int64_t audio = first < 0 ? end : first;
    if (first < 0 && end > begin) {
        map.regions.push_back({begin, end - begin, "junk"});
        map.notes.push_back(
            {Severity::Warning, begin,
             std::to_string(end - begin) + " bytes where no MPEG audio frame was found" +
                 (end - begin > kSearchReach ? " (looked for in the first 1 MiB)" : "")});
    } else if (audio > begin) {
        // Zero bytes in front of the audio are mostly padding a tagger left behind its tag.
        bool zeros = true;
        for (std::int64_t at = begin; at < audio && zeros;) {
            const auto block = bytes.Block(at);
            const auto n =
                std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), audio - at);
            zeros = !block.empty() &&
                    std::all_of(block.begin(), block.begin() + n, [](char c) { return c == '\0'; });
            at += n;
        }
        map.regions.push_back({begin, audio - begin, "junk"});
        map.notes.push_back({zeros ? Severity::Info : Severity::Warning, begin,
                             std::to_string(audio - begin) +
                                 (zeros ? " zero bytes before the first MPEG audio frame"
                                        : " bytes of junk before the first MPEG audio frame")});
    }
    if (first >= 0) {
        map.regions.push_back({first, end - first, "audio"});
    }
    return map;
}

}  // namespace veltrane::inspect
