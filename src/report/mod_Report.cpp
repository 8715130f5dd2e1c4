#include "report/mod_Report.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string_view>
#include <thread>

#include "analysis/mod_AnalysisDriver.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "inspect/mod_Inspect.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "report/mod_ReportFormat.h"
#include "report/mod_ReportProgress.h"
#include "report/mod_ReportWalk.h"

#ifndef VELTRANE_VERSION
#define VELTRANE_VERSION "0.0.0"
#endif

namespace veltrane {

namespace {

constexpr std::string_view kUsage =
    "Usage: veltrane-report [--json] [--export-picture] [-r] [-j N] [--summary] PATH...\n";

constexpr std::string_view kHelp =
    "Usage: veltrane-report [OPTION]... PATH...\n"
    "Analyses each MP3 file as a click on it in the viewer does and prints the four panes:\n"
    "MPEG, ID3v2, ID3v1 and Lyrics. A PATH that is a folder stands for its MP3 files, in the\n"
    "order the viewer lists them. Files are only read, never changed.\n"
    "\n"
    "  --json            one JSON document for all files instead of text\n"
    "  --export-picture  write the first attached picture of each file into the current\n"
    "                    folder, as a click on its picture row does\n"
    "  --inspect         also every tag of the file decoded as its own standard says\n"
    "                    (ID3v2.2 to 2.4, APEv2, Lyrics3, ID3v1 and its TAG+ block), the\n"
    "                    map of the file's bytes and notes on what is wrong or unusual,\n"
    "                    as an [Inspect] section or an \"inspect\" member; the audio from\n"
    "                    its first frame and VBR header\n"
    "  --scan            with --inspect (and implying it), walk every frame of the audio:\n"
    "                    frames counted, exact duration, bit rates, breaks in the stream\n"
    "  -r, --recursive   with a folder, its sub-folders too, depth first (links to folders\n"
    "                    are not followed)\n"
    "  -j, --jobs N      analyse N files at once (default: the number of cores); the output\n"
    "                    is the same and in the same order whatever N\n"
    "  --summary         after the files, the counts over the run: files, tags by version,\n"
    "                    pictures, Xing markers, message boxes by title, total playing time\n"
    "                    (with --inspect also files by what the inspection found)\n"
    "  --progress        show a progress line on standard error\n"
    "  --no-progress     never show it (by default it is shown when standard error is a\n"
    "                    terminal and more than one file is analysed)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Text output shows every control character of a tag or a name as an escape (\\t, \\n, \\r,\n"
    "\\x1b, \\u0085) and a backslash as \\\\, so that one row is one line; the lyrics lines are\n"
    "indented by two spaces. Message boxes the analysis raises go to standard error as\n"
    "TITLE: TEXT.\n"
    "\n"
    "Exit status: 0 when every file could be opened and every folder read, 1 when one could\n"
    "not, 2 for a usage error.\n";

struct Options {
    bool json = false;
    bool exportPicture = false;
    bool inspect = false;
    bool scan = false;
    bool recursive = false;
    bool summary = false;
    std::optional<bool> progress;
    unsigned jobs = 0;  // 0: the number of cores
    std::vector<std::string> paths;
};

// One open file shared by several readers.
class SharedInput final : public InputFile {
  public:
    explicit SharedInput(std::shared_ptr<InputFile> file) : file_(std::move(file)) {}
    std::int64_t Size() const override { return file_->Size(); }
    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        return file_->ReadAt(offset, buffer);
    }

  private:
    std::shared_ptr<InputFile> file_;
};

// Notes whether the analysis could open its file, so that the report needs no open of its own,
// and keeps the file open from the first reader that opens it until Reset: the readers after
// it share that open instead of opening, asking for the size and closing again.
class OpenWatch final : public FileAccess {
  public:
    explicit OpenWatch(FileAccess& files) : files_(files) {}
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        if (open_ == nullptr || path != openPath_) {
            auto file = files_.OpenRead(path);
            if (file == nullptr) {
                return nullptr;
            }
            open_ = std::move(file);
            openPath_ = path;
            opened_ = true;
        }
        return std::make_unique<SharedInput>(open_);
    }
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override {
        return files_.CreateWrite(path);
    }
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override {
        return files_.ReplaceProblem(path, keep);
    }
    // Closes the file kept open and forgets that one was opened.
    void Reset() {
        open_.reset();
        opened_ = false;
    }
    bool Opened() const { return opened_; }

  private:
    FileAccess& files_;
    std::shared_ptr<InputFile> open_;
    std::string openPath_;
    bool opened_ = false;
};

std::optional<unsigned> JobCount(std::string_view text) {
    unsigned jobs = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || jobs > 1000) {
            return std::nullopt;
        }
        jobs = jobs * 10 + static_cast<unsigned>(c - '0');
    }
    if (text.empty() || jobs == 0 || jobs > 1024) {
        return std::nullopt;
    }
    return jobs;
}

// nullopt to go on with the files; otherwise the exit status (--help, --version, a usage error).
std::optional<int> ParseArguments(const std::vector<std::string>& args, Options& options,
                                  std::ostream& out, std::ostream& err) {
    const auto usage = [&](const std::string& problem) {
        err << "veltrane-report: " << VisibleText(problem) << '\n' << kUsage;
        return 2;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            options.paths.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--export-picture") {
            options.exportPicture = true;
        } else if (arg == "--inspect") {
            options.inspect = true;
        } else if (arg == "--scan") {
            options.inspect = options.scan = true;
        } else if (arg == "-r" || arg == "--recursive") {
            options.recursive = true;
        } else if (arg == "--summary") {
            options.summary = true;
        } else if (arg == "--progress" || arg == "--no-progress") {
            options.progress = arg == "--progress";
        } else if (arg == "-j" || arg == "--jobs" || arg.starts_with("-j") ||
                   arg.starts_with("--jobs=")) {
            std::string value;
            if (arg == "-j" || arg == "--jobs") {
                if (i + 1 == args.size()) {
                    return usage(arg + " needs a number");
                }
                value = args[++i];
            } else {
                value = arg.substr(arg[1] == 'j' ? 2 : 7);
            }
            const auto jobs = JobCount(value);
            if (!jobs) {
                return usage("the number of jobs must be from 1 to 1024, not " + value);
            }
            options.jobs = *jobs;
        } else if (arg == "--help" || arg == "-h") {
            out << kHelp;
            return 0;
        } else if (arg == "--version") {
            out << "veltrane-report " << VELTRANE_VERSION << '\n';
            return 0;
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (options.paths.empty()) {
        return usage("no PATH given");
    }
    return std::nullopt;
}

std::unique_ptr<ReportFormat> MakeFormat(const Options& options) {
    return options.json ? JsonFormat() : TextFormat(options.exportPicture);
}

// What one file gives: its text for standard output and for standard error, and its counts.
struct FileOutput {
    std::string out;
    std::string err;
    bool opened = false;
    ReportSummary counts;
};

// Keeps the exports of a run in the order of its files, whichever job gets there first: each
// file takes its turn, with or without a picture to export.
class ExportTurns {
  public:
    void Wait(std::size_t index) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return next_ == index; });
    }
    void Pass() {
        {
            const std::lock_guard lock(mutex_);
            ++next_;
        }
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;
};

// One job: its own file access, panes, messages and analysis state; only the tables are shared.
class FileAnalyser {
  public:
    FileAnalyser(const Options& options, ExportTurns* turns)
        : options_(options), format_(MakeFormat(options)), turns_(turns) {}

    FileOutput Run(std::size_t index, const std::string& path) {
        FileOutput result;
        messages_.Clear();
        files_.Reset();
        // A fresh record for every file: what a file shows never depends on the one before.
        state_ = AnalysisState{};
        state_.sActualFile = path;
        std::optional<PictureResult> picture;
        std::ostringstream out;
        std::ostringstream err;
        Turn turn(turns_, index);
        try {
            AnalyseActualFile(state_, panes_, services_);
            result.opened = files_.Opened();
            if (!result.opened) {
                err << "veltrane-report: cannot open " << VisibleText(path) << ": "
                    << HostOpenProblem(path).value_or("it vanished while being read") << '\n';
            }
            if (options_.exportPicture) {
                turn.Take();
                picture = Export();
            }
            std::optional<inspect::Inspection> inspection;
            if (options_.inspect && result.opened) {
                if (const auto file = files_.OpenRead(path)) {
                    // The tags are read in small blocks; a walk of every frame reads on in
                    // large ones.
                    ByteView bytes(*file, 16 * 1024, options_.scan ? 1024 * 1024 : 4 * 1024);
                    inspection = inspect::Inspect(bytes, options_.scan);
                }
            }
            const FileReport report{path,   mpeg_,   id3v2_,
                                    id3v1_, lyrics_, messages_.Messages(),
                                    state_, picture, options_.inspect ? &inspection : nullptr};
            format_->File(report, out, err);
            result.counts.Add(report, result.opened);
            result.out = std::move(out).str();
        } catch (const std::bad_alloc&) {
            // Whatever was printed of the file goes: the output stays whole, one file short.
            err << "veltrane-report: not enough memory to report " << VisibleText(path) << '\n';
            result.opened = false;
        } catch (const std::exception& fault) {
            err << "veltrane-report: " << VisibleText(path) << ": " << fault.what() << '\n';
            result.opened = false;
        }
        result.err = std::move(err).str();
        files_.Reset();
        return result;
    }

  private:
    // A file's turn at the export; taken at the latest when the file is done, so that a file
    // that exports nothing never holds up the next.
    class Turn {
      public:
        Turn(ExportTurns* turns, std::size_t index) : turns_(turns), index_(index) {}
        ~Turn() {
            if (turns_ != nullptr) {
                Take();
                turns_->Pass();
            }
        }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        void Take() {
            if (turns_ != nullptr && !taken_) {
                turns_->Wait(index_);
                taken_ = true;
            }
        }

      private:
        ExportTurns* turns_;
        std::size_t index_;
        bool taken_ = false;
    };

    // The export runs as a click on the pane's picture row would, without the shell's open.
    std::optional<PictureResult> Export() {
        for (const auto& row : id3v2_.Rows()) {
            if (row.cells[0] == "APIC") {
                PictureResult exported;
                exported.result =
                    PictureRowClick(state_, "APIC", services_, ".", false, exported.file);
                return exported;
            }
        }
        return std::nullopt;
    }

    const Options& options_;
    std::unique_ptr<ReportFormat> format_;
    ExportTurns* turns_;
    HostFileAccess hostFiles_;
    OpenWatch files_{hostFiles_};
    MemoryWindowOps window_;
    MemoryMessageBox messages_;
    MemoryListPane id3v2_, id3v1_, mpeg_;
    MemoryTextPane lyrics_;
    ResultPanes panes_{id3v2_, id3v1_, mpeg_, lyrics_};
    Services services_{files_, messages_, window_};
    AnalysisState state_;
};

// While the jobs have to read from the disk (a cold cache), helpers ask the host for the heads
// and tails of the files a little ahead of them, so that the disk has several reads to serve at
// once. With a warm cache no file needs the disk and the helpers sleep.
constexpr unsigned kReadAheadHelpers = 4;
constexpr std::size_t kReadAheadFiles = 16;
constexpr std::size_t kReadAheadHead = 16 * 1024;
constexpr std::size_t kReadAheadTail = 8 * 1024;

// Runs the files on jobs threads (this one among them) and hands each output to write in the
// files' order, as soon as it and all before it are done: whichever job finishes the next file
// in order writes it and whatever waits behind it. A job takes a new file only while fewer than
// a few files a job wait to be written, so memory stays flat however many files there are.
void RunInOrder(const std::vector<std::string>& files, unsigned jobs, const Options& options,
                const std::function<void(FileOutput&)>& write) {
    ExportTurns turns;
    const std::size_t window = 4 * static_cast<std::size_t>(jobs);
    std::mutex mutex;
    std::condition_variable windowOpen;
    std::condition_variable readAheadWanted;
    std::size_t claimed = 0;
    std::size_t written = 0;
    std::size_t readAhead = 0;
    bool fromDisk = false;  // whether the last file analysed had to be read from the disk
    bool finished = false;
    // One job, or one file, has no read-ahead, and no need to watch for disk reads.
    const bool readAheadOn = jobs > 1 && files.size() > 1;
    std::map<std::size_t, FileOutput> done;
    const auto job = [&] {
        FileAnalyser analyser(options, jobs > 1 ? &turns : nullptr);
        std::unique_lock lock(mutex);
        for (;;) {
            windowOpen.wait(lock, [&] { return claimed < written + window; });
            if (claimed == files.size()) {
                return;
            }
            const std::size_t index = claimed++;
            lock.unlock();
            const std::int64_t readsBefore = readAheadOn ? ThreadDiskReads() : 0;
            FileOutput output = analyser.Run(index, files[index]);
            const bool read = readAheadOn && ThreadDiskReads() != readsBefore;
            lock.lock();
            fromDisk = read;
            if (fromDisk) {
                readAheadWanted.notify_all();
            }
            done.emplace(index, std::move(output));
            const std::size_t before = written;
            for (auto next = done.find(written); next != done.end(); next = done.find(written)) {
                write(next->second);
                done.erase(next);
                ++written;
            }
            if (written != before) {
                windowOpen.notify_all();
            }
        }
    };
    const auto helper = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto next = [&] { return std::max(readAhead, claimed); };
            readAheadWanted.wait(lock, [&] {
                return finished ||
                       (fromDisk && next() < std::min(files.size(), claimed + kReadAheadFiles));
            });
            if (finished) {
                return;
            }
            const std::size_t index = next();
            readAhead = index + 1;
            lock.unlock();
            ReadSoon(files[index], kReadAheadHead, kReadAheadTail);
            lock.lock();
        }
    };
    std::vector<std::jthread> helpers;
    if (readAheadOn) {
        for (unsigned h = 0; h < kReadAheadHelpers; ++h) {
            helpers.emplace_back(helper);
        }
    }
    // The helpers end on every way out of here, before they are joined.
    struct StopHelpers {
        std::mutex& mutex;
        bool& finished;
        std::condition_variable& wanted;
        ~StopHelpers() {
            {
                const std::lock_guard lock(mutex);
                finished = true;
            }
            wanted.notify_all();
        }
    } stop{mutex, finished, readAheadWanted};
    std::vector<std::jthread> others;
    for (unsigned j = 1; j < std::min<std::size_t>(jobs, files.size()); ++j) {
        others.emplace_back(job);
    }
    job();
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    if (const auto status = ParseArguments(args, options, out, err)) {
        return *status;
    }
    InitId3Definitions();

    const WalkResult walk = CollectFiles(options.paths, options.recursive);
    int status = walk.problems.empty() ? 0 : 1;
    for (const auto& problem : walk.problems) {
        err << "veltrane-report: " << problem << '\n';
    }
    const auto format = MakeFormat(options);
    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1U, std::thread::hardware_concurrency());
    Progress progress(
        err, ProgressWanted(options.progress, StandardErrorIsTerminal(), walk.files.size()),
        walk.files.size());
    ReportSummary summary;
    format->Begin(out);
    // Output leaves in blocks of about 64 KiB, and before anything goes to standard error, so
    // that the two keep their order on a terminal.
    std::string pending;
    bool first = true;
    const auto flush = [&] {
        out << pending << std::flush;
        pending.clear();
    };
    RunInOrder(walk.files, jobs, options, [&](FileOutput& file) {
        if (!file.err.empty()) {
            flush();
            progress.Write(file.err);
        }
        if (!file.out.empty()) {
            pending += format->Before(first);
            pending += file.out;
            first = false;
        }
        if (pending.size() >= 64 * 1024) {
            flush();
        }
        status = file.opened ? status : 1;
        summary.Add(file.counts);
        progress.Done();
    });
    flush();
    progress.Finish();
    format->End(options.summary ? &summary : nullptr, out);
    return status;
}

}  // namespace veltrane
