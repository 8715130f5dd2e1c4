// What the standards' view of a file is made of: a map of the file's bytes and notes about what
// was found, each at its offset. Shared by the tag and the audio inspection.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltrane::inspect {

enum class Severity {
    Error,    // the file is damaged: a size past its end, a frame that cannot be read
    Warning,  // written against its standard
    Info,     // merely unusual
};

constexpr std::string_view SeverityName(Severity severity) {
    switch (severity) {
        case Severity::Error:
            return "error";
        case Severity::Warning:
            return "warning";
        case Severity::Info:
            return "info";
    }
    return "info";
}

struct Note {
    Severity severity = Severity::Info;
    std::int64_t offset = 0;
    std::string text;
};

// A run of the file's bytes and what they belong to: "id3v2", "apev2", "lyrics3", "id3v1",
// "id3v1-enhanced", "vbr-header", "audio" or "junk".
struct Region {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::string kind;
};

}  // namespace veltrane::inspect
