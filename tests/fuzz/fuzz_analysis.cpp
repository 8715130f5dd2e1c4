// Feeds arbitrary bytes as a file through the in-memory file layer into the whole analysis:
// every reader and pane display, then the picture export into memory.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/mod_AnalysisDriver.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace veltrane;
    InitId3Definitions();
    MemoryFileAccess files;
    MemoryMessageBox messages;
    MemoryWindowOps window;
    MemoryListPane id3v2, id3v1, mpeg;
    MemoryTextPane lyrics;
    ResultPanes panes{id3v2, id3v1, mpeg, lyrics};
    Services services{files, messages, window};
    AnalysisState state;
    state.sActualPath = "C:";

    files.Put("C:\\fuzz.mp3", std::string(reinterpret_cast<const char*>(data), size));
    AnalyseListedFile(state, "fuzz.mp3", panes, services);
    std::string written;
    PictureRowClick(state, "APIC", services, "out", true, written);
    return 0;
}
