#include "analysis/mod_AnalysisDriver.h"

#include <exception>
#include <new>

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

// The busy pointer is taken back on every way out of an export, before any message of the
// click's own is shown.
class BusyPointer {
  public:
    explicit BusyPointer(WindowOps& window) : window_(window) { window_.SetBusyPointer(true); }
    ~BusyPointer() { window_.SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

  private:
    WindowOps& window_;
};

// A reader and its display: memory running out anywhere in them ends the step with the
// reader's message, and the next step runs.
template <typename Step>
void Guarded(MessageBox& messages, std::string_view title, MessageIcon icon, Step step) {
    try {
        step();
    } catch (const std::bad_alloc&) {
        messages.Show("Out of memory", title, icon);
    }
}

}  // namespace

void AnalyseActualFile(AnalysisState& state, ResultPanes& panes, Services& services) {
    const std::string& path = state.sActualFile;
    const RedrawSuspended suspended(services.Window);
    MessageBox& messages = services.Messages;
    try {
        CheckForTag(services.Files, path, state.Presence);
    } catch (const std::bad_alloc&) {
        state.Presence = TagPresence{};  // the presence check shows no messages
    }
    Guarded(messages, "BinHeader", MessageIcon::None, [&] {
        BinHeader(services.Files, path, state.Mpeg);
        ShowMpegHeader(panes.ListView3, state.Mpeg);
    });
    Guarded(messages, "ReadID3nfo", MessageIcon::Critical, [&] {
        ReadId3v2(services.Files, messages, path, state.Id3v2Header, state.Id3v2Frames);
        ShowId3v2(panes.ListView1, messages, state.Id3v2Header, state.Id3v2Frames);
    });
    Guarded(messages, "ReadID1", MessageIcon::Critical, [&] {
        ReadID1(services.Files, path, state.Id3v1);
        ShowID1(panes.ListView2, state.Id3v1);
    });
    Guarded(messages, "GetLyrics", MessageIcon::None, [&] {
        GetLyrics(services.Files, messages, path, state.Lyrics);
        ShowLyrics(panes.Text1, state.Lyrics);
    });
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
        const BusyPointer busy(services.Window);
        const int result = ExportPicture(services.Files, services.Messages, state.sActualFile,
                                         state.Id3v2Header, state.Id3v2Frames, folder, outName);
        if (result > 0 && openAfter) {
            services.Window.ShellOpen(outName);
        }
        return result;
    } catch (const std::exception& fault) {
        services.Messages.Show(fault.what(), "Showpicture", MessageIcon::None);
        return kPictureFailed;
    }
}

}  // namespace veltrane
