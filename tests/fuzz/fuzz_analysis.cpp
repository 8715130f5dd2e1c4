// Feeds arbitrary bytes as a file through the in-memory file layer into the whole analysis:
// every reader and pane display, then the picture export into memory; then the inspection of
// every tag and of the audio, with and without a walk of every frame, and the audio inspection
// alone from an arbitrary start.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "inspect/mod_Inspect.h"
#include "support/Harness.h"

namespace {

// The regions must follow each other without a gap from begin to end.
void CheckCovers(const std::vector<veltrane::inspect::Region>& regions, std::int64_t begin,
                 std::int64_t end) {
    std::int64_t at = begin;
    for (const auto& region : regions) {
        if (region.offset != at || region.length <= 0) {
            __builtin_trap();
        }
        at += region.length;
    }
    if (at != end) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veltrane::InitId3Definitions();
    fixture::Harness h;
    h.state.sActualPath = "C:";
    h.files.Put("C:\\fuzz.mp3", std::string(reinterpret_cast<const char*>(data), size));
    veltrane::AnalyseListedFile(h.state, "fuzz.mp3", h.panes, h.services);
    std::string written;
    veltrane::PictureRowClick(h.state, "APIC", h.services, "out", true, written);

    const auto file = h.files.OpenRead("C:\\fuzz.mp3");
    if (!file) {
        return 0;
    }
    const std::int64_t total = file->Size();
    for (const bool scan : {false, true}) {
        veltrane::ByteView bytes(*file, 16 * 1024, scan ? 1024 * 1024 : 4 * 1024);
        const auto inspection = veltrane::inspect::Inspect(bytes, scan);
        CheckCovers(inspection.regions, 0, inspection.size);
    }
    const std::int64_t begin = size > 0 ? data[0] % (total + 1) : 0;
    veltrane::ByteView view(*file, 4096, 64 * 1024);
    std::vector<veltrane::inspect::Region> regions;
    std::vector<veltrane::inspect::Note> notes;
    veltrane::inspect::InspectAudio(view, begin, total, true, regions, notes);
    CheckCovers(regions, begin, total);
    return 0;
}
