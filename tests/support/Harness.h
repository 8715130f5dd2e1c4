// One analysis set-up: files (in memory unless a host file layer is given), panes, messages and
// the per-file state, for tests that run readers or the whole driver without a screen.
#pragma once

#include <string>
#include <vector>

#include "analysis/mod_AnalysisBundle.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "support/MemoryHost.h"

namespace fixture {

// "Item<TAB>Value" lines of a two-column pane, or "TAG<TAB>Text<TAB>Value" of three.
inline std::string Dump(const veltrane::ListPane& pane, int columns) {
    std::string out;
    for (int r = 0; r < pane.RowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            out += (c == 0 ? "" : "\t") + pane.CellText(r, c);
        }
        out += "\n";
    }
    return out;
}

// Window operations that keep what was done to them: the pointer, the redrawing depth and the
// files handed to the shell.
struct RecordingWindowOps final : veltrane::WindowOps {
    void SetBusyPointer(bool on) override { busy = on; }
    void SuspendRedraw() override { ++suspendDepth; }
    void ResumeRedraw() override { --suspendDepth; }
    void ShellOpen(const std::string& path) override { opened.push_back(path); }

    bool busy = false;
    int suspendDepth = 0;
    std::vector<std::string> opened;
};

// The files in memory and the recording window, ahead of the bundle that uses them.
struct HarnessHost {
    veltrane::MemoryFileAccess files;
    RecordingWindowOps window;
};

struct Harness : HarnessHost, veltrane::AnalysisBundle {
    Harness() : AnalysisBundle(files, window) {}
    explicit Harness(veltrane::FileAccess& host) : AnalysisBundle(host, window) {}

    using AnalysisBundle::Analyse;
    // Puts the bytes under the path and analyses it as the report tool does.
    void Analyse(const std::string& path, std::string bytes) {
        files.Put(path, std::move(bytes));
        Analyse(path);
    }
    // All four panes, one row a line.
    std::string Panes() const {
        return Dump(mpegPane, 2) + Dump(id3v2Pane, 3) + Dump(id3v1Pane, 2) + lyricsPane.Text();
    }
};

// The first column of every row of a list, in the order shown.
inline std::vector<std::string> Rows(const veltrane::RowList& list) {
    std::vector<std::string> rows;
    for (int r = 0; r < list.RowCount(); ++r) {
        rows.push_back(list.CellText(r, 0));
    }
    return rows;
}

// What every pane shows for a file that cannot be opened or is empty.
inline const std::string kNotFoundPanes =
    "FILE\tHAS 0 BYTE SIZE\nNO\tNO\tID3 INFORMATION FOUND\nNO\tTAG FOUND\n NO LYRICS FOUND";

}  // namespace fixture
