#include "app/mod_Report.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string_view>

#include "app/mod_AnalysisDriver.h"
#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

#ifndef VELTRANE_VERSION
#define VELTRANE_VERSION "0.0.0"
#endif

namespace veltrane {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kUsage = "Usage: veltrane-report [--json] [--export-picture] FILE...\n";

constexpr std::string_view kHelp =
    "Usage: veltrane-report [--json] [--export-picture] FILE...\n"
    "Analyses each MP3 FILE as a click on it in the viewer does and prints the four panes:\n"
    "MPEG, ID3v2, ID3v1 and Lyrics. Files are only read, never changed.\n"
    "\n"
    "  --json            one JSON document for all files instead of text\n"
    "  --export-picture  write the first attached picture of each file into the current\n"
    "                    folder, as a click on its picture row does\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Exit status: 0 when every FILE could be opened, 1 when one could not, 2 for a usage\n"
    "error. Message boxes the analysis raises go to standard error as TITLE: TEXT.\n";

struct Options {
    bool json = false;
    bool exportPicture = false;
    std::vector<std::string> files;
};

std::string Shown(std::string_view text) {
    return Cp1252ToUtf8(CutAtNul(text));
}

const char* IconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return "critical";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::None:
            break;
    }
    return "none";
}

// Notes whether the analysis could open its file, so that the report needs no open of its own.
class OpenWatch final : public FileAccess {
  public:
    explicit OpenWatch(FileAccess& files) : files_(files) {}
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        auto file = files_.OpenRead(path);
        opened_ = opened_ || file != nullptr;
        return file;
    }
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override {
        return files_.CreateWrite(path);
    }
    void Reset() { opened_ = false; }
    bool Opened() const { return opened_; }

  private:
    FileAccess& files_;
    bool opened_ = false;
};

struct FilePanes {
    MemoryListPane id3v2;
    MemoryListPane id3v1;
    MemoryListPane mpeg;
    MemoryTextPane lyrics;
};

Json PairRows(const MemoryListPane& pane) {
    Json rows = Json::array();
    for (int r = 0; r < pane.RowCount(); ++r) {
        rows.push_back(
            {{"item", Shown(pane.CellText(r, 0))}, {"value", Shown(pane.CellText(r, 1))}});
    }
    return rows;
}

Json Id3v2Rows(const MemoryListPane& pane) {
    Json rows = Json::array();
    for (const auto& row : pane.Rows()) {
        rows.push_back({{"tag", Shown(row.cells[0])},
                        {"text", Shown(row.cells[1])},
                        {"value", Shown(row.cells[2])},
                        {"blue", row.colors[2] == kPureBlue}});
    }
    return rows;
}

Json PresenceJson(const TagPresence& p) {
    return {{"HasID3v1", p.HasID3v1},
            {"HasID3v2", p.HasID3v2},
            {"ID3v2Version", p.ID3v2Version},
            {"ID3v2Footer", p.ID3v2Footer},
            {"HasLyrics3", p.HasLyrics3},
            {"Lyrics3EndFound", p.Lyrics3EndFound},
            {"Lyrics3Version", p.Lyrics3Version}};
}

void PrintPane(std::ostream& out, const MemoryListPane& pane, int columns) {
    for (int r = 0; r < pane.RowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            out << (c == 0 ? "" : "\t") << Shown(pane.CellText(r, c));
        }
        out << '\n';
    }
}

std::string WithUnixBreaks(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

// nullopt to go on with the files; otherwise the exit status (--help, --version, a usage error).
std::optional<int> ParseArguments(const std::vector<std::string>& args, Options& options,
                                  std::ostream& out, std::ostream& err) {
    bool optionsEnded = false;
    for (const auto& arg : args) {
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
            } else if (arg == "--json") {
                options.json = true;
            } else if (arg == "--export-picture") {
                options.exportPicture = true;
            } else if (arg == "--help" || arg == "-h") {
                out << kHelp;
                return 0;
            } else if (arg == "--version") {
                out << "veltrane-report " << VELTRANE_VERSION << '\n';
                return 0;
            } else {
                err << "veltrane-report: unknown option " << arg << '\n' << kUsage;
                return 2;
            }
        } else {
            options.files.push_back(arg);
        }
    }
    if (options.files.empty()) {
        err << "veltrane-report: no FILE given\n" << kUsage;
        return 2;
    }
    return std::nullopt;
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    if (const auto status = ParseArguments(args, options, out, err)) {
        return *status;
    }
    InitId3Definitions();

    HostFileAccess hostFiles;
    OpenWatch files(hostFiles);
    MemoryWindowOps window;
    AnalysisState state;  // carried from one FILE to the next, as from click to click
    int status = 0;
    // One document for all files, written file by file: memory stays flat however many.
    if (options.json) {
        out << "{\"files\": [";
    }
    bool firstFile = true;

    for (const auto& path : options.files) {
        MemoryMessageBox messages;
        FilePanes panes;
        ResultPanes resultPanes{panes.id3v2, panes.id3v1, panes.mpeg, panes.lyrics};
        Services services{files, messages, window};
        files.Reset();
        state.sActualFile = path;
        AnalyseActualFile(state, resultPanes, services);
        if (!files.Opened()) {
            err << "veltrane-report: cannot open " << path << ": "
                << HostOpenProblem(path).value_or("it vanished while being read") << '\n';
            status = 1;
        }
        // The export runs as a click on the pane's picture row would, without the shell's open.
        Json picture = nullptr;
        if (options.exportPicture) {
            for (const auto& row : panes.id3v2.Rows()) {
                if (row.cells[0] == "APIC") {
                    std::string written;
                    const int result =
                        PictureRowClick(state, "APIC", services, ".", false, written);
                    picture = {{"result", result}, {"file", written}};
                    break;
                }
            }
        }

        if (options.json) {
            Json messageList = Json::array();
            for (const auto& m : messages.Messages()) {
                messageList.push_back({{"title", Cp1252ToUtf8(m.title)},
                                       {"text", Cp1252ToUtf8(m.text)},
                                       {"icon", IconName(m.icon)}});
            }
            const Json document = {{"path", path},
                                   {"mpeg", PairRows(panes.mpeg)},
                                   {"id3v2", Id3v2Rows(panes.id3v2)},
                                   {"id3v1", PairRows(panes.id3v1)},
                                   {"lyrics", Shown(panes.lyrics.Text())},
                                   {"messages", messageList},
                                   {"presence", PresenceJson(state.Presence)},
                                   {"picture", picture}};
            out << (firstFile ? "\n" : ",\n")
                << document.dump(-1, ' ', false, Json::error_handler_t::replace);
            firstFile = false;
        } else {
            for (const auto& m : messages.Messages()) {
                err << Cp1252ToUtf8(m.title) << ": " << Cp1252ToUtf8(m.text) << '\n';
            }
            out << "== " << path << '\n';
            out << "[MPEG]\n";
            PrintPane(out, panes.mpeg, 2);
            out << "[ID3v2]\n";
            PrintPane(out, panes.id3v2, 3);
            out << "[ID3v1]\n";
            PrintPane(out, panes.id3v1, 2);
            out << "[Lyrics]\n" << WithUnixBreaks(Shown(panes.lyrics.Text())) << '\n';
            if (options.exportPicture) {
                out << "[Picture]\n";
                if (!picture.is_null()) {
                    out << picture["result"].get<int>() << '\t'
                        << picture["file"].get<std::string>() << '\n';
                }
            }
        }
    }
    if (options.json) {
        out << "\n]}\n";
    }
    return status;
}

}  // namespace veltrane
