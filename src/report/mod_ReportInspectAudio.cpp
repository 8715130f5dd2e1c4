#include "report/mod_ReportInspectAudio.h"

#include <charconv>
#include <cmath>

#include "common/mod__HelperFunctions.h"
#include "report/mod_ReportFormat.h"
#include "report/mod_ReportJsonWriter.h"

namespace veltrane {

namespace {

// Seconds to the microsecond: more digits than that only repeat the division.
double Micro(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
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

void EncoderJson(JsonWriter& j, const inspect::EncoderInfo& e) {
    j.Open('{').Member("version", Cp1252ToUtf8(e.version)).Member("revision", e.revision);
    j.Member("method", e.method).Member("lowpass", e.lowpass).Member("delay", e.delay);
    j.Member("padding", e.padding).Key("peak");
    e.peak ? j.Value(*e.peak) : j.Null();
    j.Key("replayGain").Open('[');
    for (const auto& gain : e.replayGain) {
        j.Open('{').Member("name", gain.name).Member("originator", gain.originator);
        j.Member("gain", gain.gain).Close('}');
    }
    j.Close(']').Member("bitrate", e.bitrate).Member("athType", e.athType);
    j.Member("flags", e.flags).Member("noiseShaping", e.noiseShaping);
    j.Member("stereoMode", e.stereoMode).Member("unwise", e.unwise);
    j.Member("sourceSampleRate", e.sourceSampleRate).Member("mp3Gain", e.mp3Gain);
    j.Member("preset", e.preset).Member("surround", e.surround);
    j.Member("musicLength", e.musicLength).Member("musicCrc", e.musicCrc);
    j.Member("crc", e.crc).Member("crcOk", e.crcOk).Close('}');
}

// A number, or null when it is not known.
template <typename T>
void NumberOrNull(JsonWriter& j, std::string_view key, const std::optional<T>& value) {
    j.Key(key);
    value ? j.Value(static_cast<std::int64_t>(*value)) : j.Null();
}

}  // namespace

void AppendInspectAudioJson(JsonWriter& j, const std::optional<inspect::AudioInspection>& audio) {
    if (!audio) {
        j.Null();
        return;
    }
    const auto& a = *audio;
    j.Open('{').Member("offset", a.offset).Member("length", a.length);
    j.Member("version", a.version).Member("layer", a.layer).Member("sampleRate", a.sampleRate);
    j.Member("channelMode", a.channelMode).Member("emphasis", a.emphasis).Member("crc", a.crc);
    j.Member("frames", a.frames).Member("samples", a.samples);
    j.Member("duration", Micro(a.duration)).Member("estimated", a.estimated);
    j.Member("scanned", a.scanned).Key("bitrate").Open('{').Member("mode", a.bitrate.mode);
    NumberOrNull(j, "min", a.bitrate.min);
    NumberOrNull(j, "max", a.bitrate.max);
    j.Member("average", a.bitrate.average).Close('}').Key("vbrHeader");
    if (a.vbrHeader) {
        const auto& v = *a.vbrHeader;
        j.Open('{').Member("kind", v.kind).Member("offset", v.offset).Member("length", v.length);
        NumberOrNull(j, "frames", v.frames);
        NumberOrNull(j, "bytes", v.bytes);
        j.Member("toc", v.toc);
        NumberOrNull(j, "quality", v.quality);
        if (v.kind == "VBRI") {
            NumberOrNull(j, "version", v.version);
            NumberOrNull(j, "delay", v.delay);
        }
        j.Close('}');
    } else {
        j.Null();
    }
    j.Key("encoder");
    a.encoder ? EncoderJson(j, *a.encoder) : void(j.Null());
    j.Key("breaks").Open('[');
    for (const auto& b : a.breaks) {
        j.Open('{').Member("offset", b.offset).Member("length", b.length);
        j.Member("kind", b.kind).Close('}');
    }
    j.Close(']').Member("moreBreaks", a.moreBreaks).Close('}');
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
