// How the report prints: one analysed file as text sections or as one line of a JSON document,
// and the summary over the run.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/mod_AnalysisDriver.h"
#include "platform/mod__Toolkit.h"
#include "report/mod_ReportInspect.h"

namespace veltrane {

struct PictureResult {
    int result = 0;
    std::string file;
};

// What the analysis of one file left in its panes and records, as a click in the window does.
struct FileReport {
    const std::string& path;
    const MemoryListPane& mpeg;
    const MemoryListPane& id3v2;
    const MemoryListPane& id3v1;
    const MemoryTextPane& lyrics;
    const std::vector<MemoryMessageBox::Message>& messages;
    const AnalysisState& state;
    const std::optional<PictureResult>& picture;    // only with --export-picture
    const std::optional<std::string>& openProblem;  // why the file could not be opened
    // Only with --inspect; empty for a file that could not be opened.
    const std::optional<inspect::Inspection>* inspection = nullptr;
};

// Counts over a run.
struct ReportSummary {
    std::uint64_t analysed = 0;
    std::uint64_t notOpened = 0;
    std::uint64_t withId3v1 = 0;
    std::array<std::uint64_t, 4> withId3v2{};    // major version 2, 3, 4, any other
    std::array<std::uint64_t, 2> withLyrics3{};  // version 1, 2
    std::uint64_t withPicture = 0;               // a picture row in the ID3v2 pane
    std::uint64_t withXing = 0;
    std::map<std::string, std::uint64_t> messages;  // message boxes by title
    std::int64_t seconds = 0;                       // the playing times added up
    InspectCounts inspect;                          // shown only when a file was inspected

    void Add(const FileReport& file, bool opened);
    void Add(const ReportSummary& other);
};

class ReportFormat {
  public:
    virtual ~ReportFormat() = default;
    virtual void Begin(std::ostream& out) const = 0;
    // One file's output. A format serves one job: it may keep what it needs from file to file.
    virtual void File(const FileReport& file, std::ostream& out, std::ostream& err) = 0;
    // What stands before a file's output: the first or a later one.
    virtual std::string_view Before(bool first) const = 0;
    // After the last file; with the summary when it was asked for.
    virtual void End(const ReportSummary* summary, std::ostream& out) const = 0;
};

// A JSON string of valid UTF-8, escaped as the JSON library escapes it: the quote, the
// backslash and the characters below U+0020, nothing else.
void AppendJsonString(std::string& out, std::string_view text);

// UTF-8 text with every control character (U+0000 to U+001F, U+007F, U+0080 to U+009F), every
// bidirectional control (U+202A to U+202E, U+2066 to U+2069), every byte that is not part of
// valid UTF-8 and the backslash written as a visible escape ("\t", "\n", "\r", "\x1b",
// "\u0085", "\u202e", "\xff", "\\"), so that nothing from a file or a name reaches a terminal
// as a control sequence or turns the line around, and a printed row stays one line.
std::string VisibleText(std::string_view text);

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text);

// The bytes of a name as text that gives them back: valid UTF-8 as it is, every other byte as
// "\xNN" and the backslash as "\\".
std::string RawBytesText(std::string_view bytes);

// Text: a "== PATH" line, then the sections [MPEG], [ID3v2], [ID3v1] and [Lyrics] (and
// [Picture] with the export) with one line a row, cells joined by tabs, every cell and path as
// VisibleText; the lyrics line by line, each indented by two spaces. The messages go to err as
// "TITLE: TEXT". The summary is a [Summary] section.
std::unique_ptr<ReportFormat> TextFormat(bool withPicture);

// JSON: {"files": [ one object a file, one line each ]}, and a "summary" object after "files".
// A path that is not valid UTF-8 shows U+FFFD in "path" and its bytes in "rawPath"
// (RawBytesText); a file that could not be opened has "error": "cannot open: REASON". A file's
// line is written as it goes, never built as a document first.
std::unique_ptr<ReportFormat> JsonFormat();

}  // namespace veltrane
