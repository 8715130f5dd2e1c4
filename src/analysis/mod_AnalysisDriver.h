// The per-file analysis state and the driver that runs every reader and display over one file.
// The window's file-list click and the report tool both come through here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "id3v2/mod_MP3ID3_TAG.h"
#include "mpeg/mod_MP3_BinaryHeader.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "tags/mod_MP3ID1_TAG.h"
#include "tags/mod_MP3_CheckForTag.h"
#include "tags/mod_MP3_LyricsTAG.h"

namespace veltrane {

// One per front end that analyses (the window, each job of the report tool) for as long as it
// runs; every analysis overwrites it in place, and what a reader does not reset stays from the
// file before.
struct AnalysisState {
    std::string sActualPath;  // current folder, no trailing "\"
    NodeId tActualNode = kNoNode;
    std::string sActualFile;  // file analysed last
    TagPresence Presence;
    MpegHeaderInfo Mpeg;
    Id3v2TagHeader Id3v2Header;
    std::vector<Id3v2Frame> Id3v2Frames;
    Id3v1Tag Id3v1;
    LyricsTag Lyrics;
};

struct ResultPanes {
    ListPane& ListView1;  // ID3v2
    ListPane& ListView2;  // ID3v1
    ListPane& ListView3;  // MPEG
    TextPane& Text1;      // lyrics
};

struct Services {
    FileAccess& Files;
    MessageBox& Messages;
    WindowOps& Window;
};

// Analyses state.sActualFile: the five readers in their fixed order, each display right after
// its reader, with redrawing suspended around the whole run. Every step runs on every call.
void AnalyseActualFile(AnalysisState& state, ResultPanes& panes, Services& services);

// The file list's click: the file is the current folder, "\" and the row's text.
void AnalyseListedFile(AnalysisState& state, std::string_view rowText, ResultPanes& panes,
                       Services& services);

// A click on a row of the ID3v2 pane. Only a row whose "TAG" text is exactly "APIC" exports the
// first picture of the file analysed last into folder, with the busy pointer shown meanwhile;
// when openAfter is set, a written picture is handed to the shell. Returns the export's result
// (0 for any other row) and leaves the file written in outName.
int PictureRowClick(AnalysisState& state, std::string_view tagText, Services& services,
                    const std::string& folder, bool openAfter, std::string& outName);

}  // namespace veltrane
