// The audio block of the inspection: its JSON value ("audio" inside "inspect") and its lines in
// the [Inspect] text section.
#pragma once

#include <optional>
#include <string>

#include "inspect/mod_InspectAudio.h"

namespace veltrane {

class JsonWriter;

// The value of "audio": null when no audio was found.
void AppendInspectAudioJson(JsonWriter& json, const std::optional<inspect::AudioInspection>& audio);

// Lines ending in "\n": "audio" with the offset and length, then the stream's facts indented by
// two spaces, one break a line. Text from the file is shown as VisibleText.
void AppendInspectAudioText(const std::optional<inspect::AudioInspection>& audio, std::string& out);

}  // namespace veltrane
