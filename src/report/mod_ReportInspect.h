// How the report prints an inspection: its JSON member, its [Inspect] text section, and its
// counts in the summary.
#pragma once

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "inspect/mod_Inspect.h"

namespace veltrane {

// What the inspections of a run found, counted by file.
struct InspectCounts {
    std::uint64_t inspected = 0;
    std::array<std::uint64_t, 3> withId3v2{};  // a tag of version 2.2, 2.3, 2.4
    std::uint64_t withApev2 = 0;
    std::uint64_t withJunk = 0;
    std::array<std::uint64_t, 3> withNotes{};  // a note of severity error, warning, info

    void Add(const inspect::Inspection& inspection);
    void Add(const InspectCounts& other);
};

// The value of the "inspect" member of a file's object, compact JSON, appended to out.
void AppendInspectJson(std::string& out, const inspect::Inspection& inspection);
// The [Inspect] section: the map, each tag with its frames or fields, then the notes.
void InspectText(std::ostream& out, const inspect::Inspection& inspection);
// The summary's rows and members for the counts.
std::vector<std::pair<std::string, std::string>> InspectSummaryRows(const InspectCounts& counts);
void InspectSummaryJson(nlohmann::ordered_json& json, const InspectCounts& counts);

}  // namespace veltrane
