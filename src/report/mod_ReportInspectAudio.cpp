#include "report/mod_ReportInspectAudio.h"

#include <charconv>
#include <cmath>

#include "common/mod__HelperFunctions.h"
#include "report/mod_ReportFormat.h"

namespace veltrane {

namespace {

using Json = nlohmann::ordered_json;

// Seconds to the microsecond: more digits than that only repeat the division.
double Micro(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
}

template <typename T>
Json OrNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

std::string Fixed(double value, int digits) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
    return std::string(buffer, result.ptr);
}

std::string Number(std::int64_t value) {
    return std::to_string(value);
}

Json EncoderJson(const inspect::EncoderInfo& e) {
    Json gains = Json::array();
    for (const auto& gain : e.replayGain) {
        gains.push_back(
            {{"name", gain.name}, {"originator", gain.originator}, {"gain", gain.gain}});
    }
    return {{"version", Cp1252ToUtf8(e.version)},
            {"revision", e.revision},
            {"method", e.method},
            {"lowpass", e.lowpass},
            {"delay", e.delay},
            {"padding", e.padding},
            {"peak", OrNull(e.peak)},
            {"replayGain", gains},
            {"bitrate", e.bitrate},
            {"athType", e.athType},
            {"flags", e.flags},
            {"noiseShaping", e.noiseShaping},
            {"stereoMode", e.stereoMode},
            {"unwise", e.unwise},
            {"sourceSampleRate", e.sourceSampleRate},
            {"mp3Gain", e.mp3Gain},
            {"preset", e.preset},
            {"surround", e.surround},
            {"musicLength", e.musicLength},
            {"musicCrc", e.musicCrc},
            {"crc", e.crc},
            {"crcOk", e.crcOk}};
}

}  // namespace

Json InspectAudioJson(const std::optional<inspect::AudioInspection>& audio) {
    if (!audio) {
        return nullptr;
    }
    const auto& a = *audio;
    Json vbr = nullptr;
    if (a.vbrHeader) {
        const auto& v = *a.vbrHeader;
        vbr = {{"kind", v.kind},
               {"offset", v.offset},
               {"length", v.length},
               {"frames", OrNull(v.frames)},
               {"bytes", OrNull(v.bytes)},
               {"toc", v.toc},
               {"quality", OrNull(v.quality)}};
        if (v.kind == "VBRI") {
            vbr["version"] = OrNull(v.version);
            vbr["delay"] = OrNull(v.delay);
        }
    }
    Json breaks = Json::array();
    for (const auto& b : a.breaks) {
        breaks.push_back({{"offset", b.offset}, {"length", b.length}, {"kind", b.kind}});
    }
    return {{"offset", a.offset},
            {"length", a.length},
            {"version", a.version},
            {"layer", a.layer},
            {"sampleRate", a.sampleRate},
            {"channelMode", a.channelMode},
            {"emphasis", a.emphasis},
            {"crc", a.crc},
            {"frames", a.frames},
            {"samples", a.samples},
            {"duration", Micro(a.duration)},
            {"estimated", a.estimated},
            {"scanned", a.scanned},
            {"bitrate",
             {{"mode", a.bitrate.mode},
              {"min", OrNull(a.bitrate.min)},
              {"max", OrNull(a.bitrate.max)},
              {"average", a.bitrate.average}}},
            {"vbrHeader", vbr},
            {"encoder", a.encoder ? EncoderJson(*a.encoder) : Json(nullptr)},
            {"breaks", breaks},
            {"moreBreaks", a.moreBreaks}};
}

void AppendInspectAudioText(const std::optional<inspect::AudioInspection>& audio,
                            std::string& out) {
    if (!audio) {
        out += "audio\tnone\n";
        return;
    }
    static constexpr const char* kLayers[] = {"", "I", "II", "III"};
    const auto& a = *audio;
    out += "audio\toffset " + Number(a.offset) + "\tlength " + Number(a.length) + "\n";
    out += "  MPEG-" + a.version + " Layer " + kLayers[a.layer & 3] + ", " + Number(a.sampleRate) +
           " Hz, " + a.channelMode + ", emphasis " + a.emphasis + ", " +
           (a.crc ? "CRC" : "no CRC") + "\n";
    out += "  frames " + Number(a.frames) + ", samples " + Number(a.samples) + ", duration " +
           Fixed(a.duration, 3) + " s" + (a.estimated ? " (estimated)" : "") + "\n";
    out += "  bitrate " + a.bitrate.mode;
    if (a.bitrate.min && a.bitrate.max) {
        out += ", min " + Number(*a.bitrate.min) + ", max " + Number(*a.bitrate.max);
    }
    out += ", average " + Number(a.bitrate.average) + " bit/s\n";
    if (a.vbrHeader) {
        const auto& v = *a.vbrHeader;
        out += "  VBR header " + v.kind + " at " + Number(v.offset) + ": frames " +
               (v.frames ? Number(*v.frames) : "-") + ", bytes " +
               (v.bytes ? Number(*v.bytes) : "-") + ", TOC " + (v.toc ? "yes" : "no") +
               ", quality " + (v.quality ? Number(*v.quality) : "-") + "\n";
    }
    if (a.encoder) {
        const auto& e = *a.encoder;
        out += "  encoder " + VisibleText(Cp1252ToUtf8(e.version)) + ": method " + e.method +
               ", lowpass " + Number(e.lowpass) + " Hz, delay " + Number(e.delay) + ", padding " +
               Number(e.padding);
        if (e.peak) {
            out += ", peak " + Fixed(*e.peak, 6);
        }
        for (const auto& gain : e.replayGain) {
            out += ", " + gain.name + " gain " + Fixed(gain.gain, 1) + " dB";
        }
        out += std::string(", CRC ") + (e.crcOk ? "ok" : "bad") + "\n";
    }
    for (const auto& b : a.breaks) {
        out +=
            "  break at " + Number(b.offset) + ": " + Number(b.length) + " bytes, " + b.kind + "\n";
    }
    if (a.moreBreaks > 0) {
        out += "  " + Number(a.moreBreaks) + " more breaks\n";
    }
}

}  // namespace veltrane
