#include "analysis/mod_AnalysisDriver.h"

#include <exception>

#include "display/mod_showMP3_Data.h"
#include "picture/mod_MP3ID3_Picture.h"

namespace veltrane {

namespace {

// Redrawing resumes on every way out of a run.
class RedrawSuspended {
  public:
    explicit RedrawSuspended(WindowOps& window) : window_(window) { window_.SuspendRedraw(); }
    ~RedrawSuspended() { window_.ResumeRedraw(); }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

  private:
    WindowOps& window_;
};

}  // namespace

void AnalyseActualFile(AnalysisState& state, ResultPanes& panes, Services& services) {
    const std::string& path = state.sActualFile;
    const RedrawSuspended suspended(services.Window);
    CheckForTag(services.Files, path, state.Presence);
    BinHeader(services.Files, path, state.Mpeg);
    ShowMpegHeader(panes.ListView3, state.Mpeg);
    ReadId3v2(services.Files, services.Messages, path, state.Id3v2Header, state.Id3v2Frames);
    ShowId3v2(panes.ListView1, services.Messages, state.Id3v2Header, state.Id3v2Frames);
    ReadID1(services.Files, path, state.Id3v1);
    ShowID1(panes.ListView2, state.Id3v1);
    GetLyrics(services.Files, services.Messages, path, state.Lyrics);
    ShowLyrics(panes.Text1, state.Lyrics);
}

void AnalyseListedFile(AnalysisState& state, std::string_view rowText, ResultPanes& panes,
                       Services& services) {
    state.sActualFile = state.sActualPath + "\\" + std::string(rowText);
    AnalyseActualFile(state, panes, services);
}

int PictureRowClick(AnalysisState& state, std::string_view tagText, Services& services,
                    const std::string& folder, bool openAfter, std::string& outName) {
    if (tagText != "APIC") {
        return kPictureNotTried;
    }
    try {
        services.Window.SetBusyPointer(true);
        const int result = ExportPicture(services.Files, services.Messages, state.sActualFile,
                                         state.Id3v2Header, state.Id3v2Frames, folder, outName);
        if (result > 0 && openAfter) {
            services.Window.ShellOpen(outName);
        }
        services.Window.SetBusyPointer(false);
        return result;
    } catch (const std::exception& fault) {
        services.Window.SetBusyPointer(false);
        services.Messages.Show(fault.what(), "Showpicture", MessageIcon::None);
        return kPictureFailed;
    }
}

}  // namespace veltrane
