// The audio stream as the MPEG audio standard and the encoders' VBR headers describe it: the
// first confirmed frame, the Xing/Info or VBRI header with the LAME extension, and, with a scan,
// every frame with where the stream breaks. Only the span between the leading and the trailing
// tags is looked at; it is mapped byte for byte into "junk", "vbr-header" and "audio" regions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "inspect/mod_InspectTypes.h"
#include "platform/mod__FileAPI.h"

namespace veltrane::inspect {

struct AudioBitrate {
    std::string mode;                 // "CBR", "VBR", "ABR" or "free"
    std::optional<std::int64_t> min;  // bits per second over the frames walked (scan only)
    std::optional<std::int64_t> max;
    std::int64_t average = 0;  // audio bytes times 8 over the duration
};

struct VbrHeader {
    std::string kind;         // "Xing", "Info" or "VBRI"
    std::int64_t offset = 0;  // the header frame's first byte
    std::int64_t length = 0;  // the header frame's length
    std::optional<std::int64_t> frames;
    std::optional<std::int64_t> bytes;
    bool toc = false;
    std::optional<int> quality;
    std::optional<int> version;  // VBRI only
    std::optional<int> delay;    // VBRI only: the encoder delay it declares
};

struct ReplayGain {
    std::string name;        // "radio", "audiophile" or the number of another name code
    std::string originator;  // "preset", "user", "automatic" or the number
    double gain = 0;         // dB
};

struct EncoderInfo {
    std::string version;  // the nine bytes as written ("LAME3.100", "Lavc58.13"), cut at a NUL
    int revision = 0;
    int methodCode = 0;
    std::string method;
    int lowpass = 0;  // Hz
    std::optional<double> peak;
    std::vector<ReplayGain> replayGain;  // the fields that are set
    int flags = 0;                       // the encoding flags nibble
    int athType = 0;
    int bitrate = 0;  // kbit/s: ABR's target, CBR's rate or VBR's minimum (255: 255 or more)
    int delay = 0;    // samples
    int padding = 0;  // samples
    int noiseShaping = 0;
    int stereoMode = 0;
    bool unwise = false;
    int sourceSampleRate = 0;  // code 0..3
    int mp3Gain = 0;           // steps of 1.5 dB
    int preset = 0;
    int surround = 0;
    std::int64_t musicLength = 0;
    int musicCrc = 0;
    int crc = 0;
    int computedCrc = 0;  // over the frame's bytes from its first up to the CRC field
    bool crcOk = false;
};

struct AudioBreak {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::string kind;  // "junk" (no frame header where one should stand) or "truncated"
};

struct AudioInspection {
    std::int64_t offset = 0;  // the first frame's, the VBR header frame's when there is one
    std::int64_t length = 0;  // up to the end of the last frame
    std::string version;      // "1", "2", "2.5"
    int layer = 0;            // 1, 2, 3
    int sampleRate = 0;
    std::string channelMode;  // "stereo", "joint stereo", "dual channel", "single channel"
    std::string emphasis;     // "none", "50/15", "reserved", "CCITT J.17"
    bool crc = false;         // the frames carry a CRC
    std::int64_t frames = 0;
    std::int64_t samples = 0;
    double duration = 0;  // seconds
    bool estimated = false;
    bool scanned = false;
    AudioBitrate bitrate;
    std::optional<VbrHeader> vbrHeader;
    std::optional<EncoderInfo> encoder;
    std::vector<AudioBreak> breaks;
    std::int64_t moreBreaks = 0;  // breaks found after the list was full
};

// Looks at exactly [begin, end) of the view, appends regions that cover it contiguously in order
// and the notes found, and returns the audio record, nullopt when no confirmed frame stands in
// the span (then it is one "junk" region). With scan every frame is walked; the number of breaks
// and notes kept is bounded, and memory stays bounded whatever the file.
std::optional<AudioInspection> InspectAudio(ByteView& view, std::int64_t begin, std::int64_t end,
                                            bool scan, std::vector<Region>& regions,
                                            std::vector<Note>& notes);

// CRC-16 as the LAME tag carries it (reflected polynomial 0x8005, start 0).
std::uint16_t LameCrc(std::span<const char> bytes, std::uint16_t crc = 0);

}  // namespace veltrane::inspect
