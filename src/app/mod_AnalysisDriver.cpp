#include "app/mod_AnalysisDriver.h"

#include "display/mod_showMP3_Data.h"

namespace veltrane {

void AnalyseActualFile(AnalysisState& state, ResultPanes& panes, Services& services) {
    const std::string& path = state.sActualFile;
    services.Window.SuspendRedraw();
    CheckForTag(services.Files, path, state.Presence);
    BinHeader(services.Files, path, state.Mpeg);
    ShowMpegHeader(panes.ListView3, state.Mpeg);
    ReadId3v2(services.Files, services.Messages, path, state.Id3v2Header, state.Id3v2Frames);
    ShowId3v2(panes.ListView1, services.Messages, state.Id3v2Header, state.Id3v2Frames);
    ReadID1(services.Files, path, state.Id3v1);
    ShowID1(panes.ListView2, state.Id3v1);
    GetLyrics(services.Files, services.Messages, path, state.Lyrics);
    ShowLyrics(panes.Text1, state.Lyrics);
    services.Window.ResumeRedraw();
}

void AnalyseListedFile(AnalysisState& state, std::string_view rowText, ResultPanes& panes,
                       Services& services) {
    state.sActualFile = state.sActualPath + "\\" + std::string(rowText);
    AnalyseActualFile(state, panes, services);
}

}  // namespace veltrane
