// Feeds arbitrary bytes as a file through the in-memory file layer into the whole analysis:
// every reader and pane display, then the picture export into memory, then the inspection.
#include <cstddef>
#include <cstdint>
#include <string>

#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "inspect/mod_Inspect.h"
#include "support/Harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    veltrane::InitId3Definitions();
    fixture::Harness h;
    h.state.sActualPath = "C:";
    h.files.Put("C:\\fuzz.mp3", std::string(reinterpret_cast<const char*>(data), size));
    veltrane::AnalyseListedFile(h.state, "fuzz.mp3", h.panes, h.services);
    std::string written;
    veltrane::PictureRowClick(h.state, "APIC", h.services, "out", true, written);
    if (const auto file = h.files.OpenRead("C:\\fuzz.mp3")) {
        veltrane::ByteView bytes(*file);
        const auto inspection = veltrane::inspect::Inspect(bytes);
        std::int64_t covered = 0;
        for (const auto& region : inspection.regions) {
            if (region.offset != covered || region.length <= 0) {
                __builtin_trap();  // the map must cover the file exactly, in order
            }
            covered += region.length;
        }
        if (covered != inspection.size) {
            __builtin_trap();
        }
    }
    return 0;
}
