// One analysis wiring for a front end without widgets: the panes, the message box and the
// per-file state that an analysis writes, over the file access and window operations it is
// given. The report tool's jobs, the benchmarks and the tests all analyse through it.
#pragma once

#include <string>

#include "analysis/mod_AnalysisDriver.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

class AnalysisBundle {
  public:
    AnalysisBundle(FileAccess& files, WindowOps& window) : services{files, messages, window} {}
    // With no window: no pointer, no redrawing, no shell.
    explicit AnalysisBundle(FileAccess& files) : AnalysisBundle(files, noWindow_) {}
    // The panes and the services refer to the bundle's own members.
    AnalysisBundle(const AnalysisBundle&) = delete;
    AnalysisBundle& operator=(const AnalysisBundle&) = delete;

  private:
    MemoryWindowOps noWindow_;  // before services, which may refer to it

  public:
    MemoryMessageBox messages;
    MemoryListPane id3v2Pane, id3v1Pane, mpegPane;
    MemoryTextPane lyricsPane;
    AnalysisState state;
    ResultPanes panes{id3v2Pane, id3v1Pane, mpegPane, lyricsPane};
    Services services;

    // Analyses the file as a click on it does.
    void Analyse(const std::string& path) {
        state.sActualFile = path;
        AnalyseActualFile(state, panes, services);
    }
};

}  // namespace veltrane
