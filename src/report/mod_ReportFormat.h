// How the report prints one analysed file: as text sections or as one JSON document.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mod__Toolkit.h"
#include "tags/mod_MP3_CheckForTag.h"

namespace veltrane {

struct PictureResult {
    int result = 0;
    std::string file;
};

// What the analysis of one file left in its panes, as a click in the window leaves it.
struct FileReport {
    const std::string& path;
    const MemoryListPane& mpeg;
    const MemoryListPane& id3v2;
    const MemoryListPane& id3v1;
    const MemoryTextPane& lyrics;
    const std::vector<MemoryMessageBox::Message>& messages;
    const TagPresence& presence;
    const std::optional<PictureResult>& picture;  // only with --export-picture
};

class ReportFormat {
  public:
    virtual ~ReportFormat() = default;
    virtual void File(const FileReport& file) = 0;
    // After the last file.
    virtual void End() = 0;
};

// UTF-8 text with every control character (U+0000 to U+001F, U+007F, U+0080 to U+009F) and the
// backslash written as a visible escape ("\t", "\n", "\r", "\x1b", "\u0085", "\\"), so that
// nothing from a file reaches a terminal as a control sequence and a printed row stays one line.
std::string VisibleText(std::string_view text);

// Text: a "== PATH" line, then the sections [MPEG], [ID3v2], [ID3v1] and [Lyrics] (and
// [Picture] with the export) with one line a row, cells joined by tabs, every cell and path as
// VisibleText; the lyrics line by line, each indented by two spaces. The messages go to err as
// "TITLE: TEXT".
std::unique_ptr<ReportFormat> TextFormat(std::ostream& out, std::ostream& err, bool withPicture);

// JSON: {"files": [ one object a file, one line each ]}, written as each file is done.
std::unique_ptr<ReportFormat> JsonFormat(std::ostream& out);

}  // namespace veltrane
