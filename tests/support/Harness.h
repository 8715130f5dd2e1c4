// One analysis set-up: files (in memory unless a host file layer is given), panes, messages and
// the per-file state, for tests that run readers or the whole driver without a screen.
#pragma once

#include <string>
#include <vector>

#include "analysis/mod_AnalysisDriver.h"
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

struct Harness {
    Harness() = default;
    explicit Harness(veltrane::FileAccess& host) : services{host, messages, window} {}

    veltrane::MemoryFileAccess files;
    veltrane::MemoryMessageBox messages;
    veltrane::MemoryWindowOps window;
    veltrane::MemoryListPane id3v2Pane, id3v1Pane, mpegPane;
    veltrane::MemoryTextPane lyricsPane;
    veltrane::AnalysisState state;
    veltrane::ResultPanes panes{id3v2Pane, id3v1Pane, mpegPane, lyricsPane};
    veltrane::Services services{files, messages, window};

    // Puts the bytes under the path and analyses it as the report tool does.
    void Analyse(const std::string& path, std::string bytes) {
        files.Put(path, std::move(bytes));
        Analyse(path);
    }
    void Analyse(const std::string& path) {
        state.sActualFile = path;
        veltrane::AnalyseActualFile(state, panes, services);
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
