#include "app/mod_Report.h"

#include <nlohmann/json.hpp>

#include <algorithm>
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

// The JSON document, written as it goes. Every string is escaped by the JSON library's own
// serializer, kept for the whole run; only the fixed structure of keys, brackets and commas is
// written here. That keeps a file's cost to its cells instead of a tree of values.
class JsonWriter {
  public:
    static constexpr std::size_t kFlushSize = 64 * 1024;

    explicit JsonWriter(std::ostream& out) : out_(out) {}

    void String(std::string_view text) {
        scratch_.get_ref<std::string&>().assign(text);
        serializer_.dump(scratch_, false, false, 0);
    }
    // A pane cell: cut at its first NUL and decoded from Windows-1252 straight into the
    // string the serializer escapes.
    void Cell(std::string_view text) {
        std::string& scratch = scratch_.get_ref<std::string&>();
        scratch.clear();
        AppendCp1252AsUtf8(scratch, BeforeNul(text));
        serializer_.dump(scratch_, false, false, 0);
    }
    // Keys are this program's own constant names, letters only: nothing in them to escape.
    void Key(std::string_view key) {
        buffer_.push_back('"');
        buffer_ += key;
        buffer_ += "\":";
    }
    void Bool(bool value) { buffer_ += value ? "true" : "false"; }
    void Int(long value) { buffer_ += std::to_string(value); }
    std::string& Raw() { return buffer_; }
    // Writes what has gathered once it is worth a call to the system, or at the end.
    void Flush(bool final = false) {
        if (final || buffer_.size() >= kFlushSize) {
            out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
            buffer_.clear();
        }
    }

  private:
    std::ostream& out_;
    std::string buffer_;
    nlohmann::detail::serializer<Json> serializer_{
        nlohmann::detail::output_adapter<char, std::string>(buffer_), ' ',
        Json::error_handler_t::replace};
    Json scratch_ = std::string();
};

void PairRows(JsonWriter& json, const MemoryListPane& pane) {
    json.Raw() += '[';
    bool first = true;
    for (const auto& row : pane.Rows()) {
        json.Raw() += first ? "{" : ",{";
        first = false;
        json.Key("item");
        json.Cell(row.cells[0]);
        json.Raw() += ',';
        json.Key("value");
        json.Cell(row.cells[1]);
        json.Raw() += '}';
    }
    json.Raw() += ']';
}

void Id3v2Rows(JsonWriter& json, const MemoryListPane& pane) {
    json.Raw() += '[';
    bool first = true;
    for (const auto& row : pane.Rows()) {
        json.Raw() += (first ? "{" : ",{");
        first = false;
        json.Key("tag");
        json.Cell(row.cells[0]);
        json.Raw() += ',';
        json.Key("text");
        json.Cell(row.cells[1]);
        json.Raw() += ',';
        json.Key("value");
        json.Cell(row.cells[2]);
        json.Raw() += ',';
        json.Key("blue");
        json.Bool(row.colors[2] == kPureBlue);
        json.Raw() += '}';
    }
    json.Raw() += ']';
}

void PresenceJson(JsonWriter& json, const TagPresence& p) {
    const auto flag = [&](std::string_view key, bool value, bool last = false) {
        json.Key(key);
        json.Bool(value);
        json.Raw() += (last ? "}" : ",");
    };
    json.Raw() += '{';
    flag("HasID3v1", p.HasID3v1);
    flag("HasID3v2", p.HasID3v2);
    json.Key("ID3v2Version");
    json.Int(p.ID3v2Version);
    json.Raw() += ',';
    flag("ID3v2Footer", p.ID3v2Footer);
    flag("HasLyrics3", p.HasLyrics3);
    flag("Lyrics3EndFound", p.Lyrics3EndFound);
    json.Key("Lyrics3Version");
    json.Int(p.Lyrics3Version);
    json.Raw() += '}';
}

struct PictureResult {
    int result = 0;
    std::string file;
};

void FileJson(JsonWriter& json, const std::string& path, const FilePanes& panes,
              const std::vector<MemoryMessageBox::Message>& messages, const TagPresence& presence,
              const std::optional<PictureResult>& picture) {
    json.Raw() += '{';
    json.Key("path");
    json.String(path);
    json.Raw() += ',';
    json.Key("mpeg");
    PairRows(json, panes.mpeg);
    json.Raw() += ',';
    json.Key("id3v2");
    Id3v2Rows(json, panes.id3v2);
    json.Raw() += ',';
    json.Key("id3v1");
    PairRows(json, panes.id3v1);
    json.Raw() += ',';
    json.Key("lyrics");
    json.Cell(panes.lyrics.Text());
    json.Raw() += ',';
    json.Key("messages");
    json.Raw() += '[';
    for (std::size_t i = 0; i < messages.size(); ++i) {
        json.Raw() += (i == 0 ? "{" : ",{");
        json.Key("title");
        json.String(Cp1252ToUtf8(messages[i].title));
        json.Raw() += ',';
        json.Key("text");
        json.String(Cp1252ToUtf8(messages[i].text));
        json.Raw() += ',';
        json.Key("icon");
        json.String(IconName(messages[i].icon));
        json.Raw() += '}';
    }
    json.Raw() += "],";
    json.Key("presence");
    PresenceJson(json, presence);
    json.Raw() += ',';
    json.Key("picture");
    if (picture) {
        json.Raw() += '{';
        json.Key("result");
        json.Int(picture->result);
        json.Raw() += ',';
        json.Key("file");
        json.String(picture->file);
        json.Raw() += '}';
    } else {
        json.Raw() += "null";
    }
    json.Raw() += '}';
}

void PrintPane(std::ostream& out, const MemoryListPane& pane, int columns) {
    for (int r = 0; r < pane.RowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            out << (c == 0 ? "" : "\t") << ShownUtf8(pane.CellText(r, c));
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
    JsonWriter json(out);
    if (options.json) {
        json.Raw() += "{\"files\": [";
    }
    bool firstFile = true;

    // The panes and the message list are reused from file to file, as the window's are; each
    // display clears its own pane.
    MemoryMessageBox messages;
    FilePanes panes;
    ResultPanes resultPanes{panes.id3v2, panes.id3v1, panes.mpeg, panes.lyrics};
    Services services{files, messages, window};
    for (const auto& path : options.files) {
        messages.Clear();
        files.Reset();
        state.sActualFile = path;
        AnalyseActualFile(state, resultPanes, services);
        if (!files.Opened()) {
            err << "veltrane-report: cannot open " << path << ": "
                << HostOpenProblem(path).value_or("it vanished while being read") << '\n';
            status = 1;
        }
        // The export runs as a click on the pane's picture row would, without the shell's open.
        std::optional<PictureResult> picture;
        if (options.exportPicture) {
            for (const auto& row : panes.id3v2.Rows()) {
                if (row.cells[0] == "APIC") {
                    PictureResult exported;
                    exported.result =
                        PictureRowClick(state, "APIC", services, ".", false, exported.file);
                    picture = exported;
                    break;
                }
            }
        }

        if (options.json) {
            json.Raw() += (firstFile ? "\n" : ",\n");
            FileJson(json, path, panes, messages.Messages(), state.Presence, picture);
            json.Flush();
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
            out << "[Lyrics]\n" << WithUnixBreaks(ShownUtf8(panes.lyrics.Text())) << '\n';
            if (options.exportPicture) {
                out << "[Picture]\n";
                if (picture) {
                    out << picture->result << '\t' << picture->file << '\n';
                }
            }
        }
    }
    if (options.json) {
        json.Raw() += "\n]}\n";
        json.Flush(true);
    }
    return status;
}

}  // namespace veltrane
