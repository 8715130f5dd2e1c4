// Feeds arbitrary bytes as a file through the in-memory file layer into the whole analysis:
// every reader and pane display, then the picture export into memory; then the audio inspection
// with a walk of every frame over the same bytes, whole and from an arbitrary start.
#include <cstddef>
#include <cstdint>
#include <string>

#include <vector>

#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "inspect/mod_InspectAudio.h"
#include "support/Harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veltrane::InitId3Definitions();
    fixture::Harness h;
    h.state.sActualPath = "C:";
    h.files.Put("C:\\fuzz.mp3", std::string(reinterpret_cast<const char*>(data), size));
    veltrane::AnalyseListedFile(h.state, "fuzz.mp3", h.panes, h.services);
    std::string written;
    veltrane::PictureRowClick(h.state, "APIC", h.services, "out", true, written);

    const auto file = h.files.OpenRead("C:\\fuzz.mp3");
    if (file) {
        const std::int64_t total = file->Size();
        const std::int64_t begin = size > 0 ? data[0] % (total + 1) : 0;
        for (const bool scan : {true, false}) {
            veltrane::ByteView view(*file, 4096, 64 * 1024);
            std::vector<veltrane::inspect::Region> regions;
            std::vector<veltrane::inspect::Note> notes;
            veltrane::inspect::InspectAudio(view, begin, total, scan, regions, notes);
            std::int64_t at = begin;
            for (const auto& region : regions) {
                if (region.offset != at || region.length <= 0) {
                    __builtin_trap();
                }
                at += region.length;
            }
            if (at != total) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
