#include "report/mod_Report.h"

#include <algorithm>
#include <ostream>
#include <string_view>

#include "analysis/mod_AnalysisDriver.h"
#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "report/mod_ReportFormat.h"

#ifndef VELTRANE_VERSION
#define VELTRANE_VERSION "0.0.0"
#endif

namespace veltrane {

namespace {

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
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override {
        return files_.ReplaceProblem(path, keep);
    }
    void Reset() { opened_ = false; }
    bool Opened() const { return opened_; }

  private:
    FileAccess& files_;
    bool opened_ = false;
};

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
                err << "veltrane-report: unknown option " << VisibleText(arg) << '\n' << kUsage;
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
    const auto format =
        options.json ? JsonFormat(out) : TextFormat(out, err, options.exportPicture);
    int status = 0;

    // The panes and the message list are reused from file to file, as the window's are; each
    // display clears its own pane.
    MemoryMessageBox messages;
    MemoryListPane id3v2, id3v1, mpeg;
    MemoryTextPane lyrics;
    ResultPanes panes{id3v2, id3v1, mpeg, lyrics};
    Services services{files, messages, window};
    for (const auto& path : options.files) {
        messages.Clear();
        files.Reset();
        state.sActualFile = path;
        AnalyseActualFile(state, panes, services);
        if (!files.Opened()) {
            err << "veltrane-report: cannot open " << VisibleText(path) << ": "
                << HostOpenProblem(path).value_or("it vanished while being read") << '\n';
            status = 1;
        }
        // The export runs as a click on the pane's picture row would, without the shell's open.
        std::optional<PictureResult> picture;
        if (options.exportPicture) {
            for (const auto& row : id3v2.Rows()) {
                if (row.cells[0] == "APIC") {
                    PictureResult exported;
                    exported.result =
                        PictureRowClick(state, "APIC", services, ".", false, exported.file);
                    picture = exported;
                    break;
                }
            }
        }
        format->File(
            {path, mpeg, id3v2, id3v1, lyrics, messages.Messages(), state.Presence, picture});
    }
    format->End();
    return status;
}

}  // namespace veltrane
