#include "report/mod_Report.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include "analysis/mod_AnalysisBundle.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "inspect/mod_Inspect.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "platform/mod__DriveAPI.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"
#include "report/mod_ReportFormat.h"
#include "report/mod_ReportProgress.h"
#include "report/mod_ReportReadAhead.h"
#include "report/mod_ReportSignals.h"
#include "report/mod_ReportWalk.h"

#ifndef VELTRANE_VERSION
#define VELTRANE_VERSION "0.0.0"
#endif

namespace veltrane {

namespace {

constexpr std::string_view kUsage =
    "Usage: veltrane-report [--json] [--export-picture] [--inspect] [--scan] [-r] [-j N]\n"
    "                       [--summary] [--progress|--no-progress] PATH...\n"
    "       veltrane-report -h|--help|--version\n";

constexpr std::string_view kHelp =
    "Usage: veltrane-report [OPTION]... PATH...\n"
    "Analyses each MP3 file as a click on it in the viewer does and prints the four panes:\n"
    "MPEG, ID3v2, ID3v1 and Lyrics. A PATH that is a folder stands for its MP3 files, in the\n"
    "order the viewer lists them. Files are only read, never changed.\n"
    "\n"
    "  --json            one JSON document for all files instead of text\n"
    "  --export-picture  write the first attached picture of each file into the current\n"
    "                    folder, as a click on its picture row does; no file of the run is\n"
    "                    ever replaced\n"
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
    "  -h, --help        show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Text output shows every control character of a tag or a name, every bidirectional\n"
    "control and every byte of a name that is not UTF-8 as an escape (\\t, \\n, \\r, \\x1b,\n"
    "\\u0085, \\u202e, \\xff) and a backslash as \\\\, so that one row is one line; the lyrics\n"
    "lines are indented by two spaces. Message boxes the analysis raises go to standard error\n"
    "as TITLE: TEXT. In JSON a name that is not UTF-8 also has its bytes in \"rawPath\" (as\n"
    "text: \\xNN for each such byte, \\\\ for a backslash), and a file that could not be opened\n"
    "has \"error\".\n"
    "\n"
    "SIGINT, SIGTERM and SIGHUP end the run with no temporary picture left behind; the output\n"
    "written so far ends with a whole file (a JSON document stays unclosed).\n"
    "\n"
    "Exit status: 0 when every file could be opened and every folder read, 1 when one could\n"
    "not, 2 for a usage error, 3 when the report could not be written (a full disk, a closed\n"
    "pipe: the run stops there, saying why).\n";

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
    std::int64_t DataFrom(std::int64_t offset) override { return file_->DataFrom(offset); }

  private:
    std::shared_ptr<InputFile> file_;
};

// What the jobs of a run share, set up before the first file: only read by them.
struct RunFiles {
    // Device and inode of every file of the run (an export run walks first to know them), so
    // that no export replaces any of them, before or after in the order.
    std::set<FileIdentity> identities;
    Interruptions* interruptions = nullptr;
};

// Notes whether the analysis could open its file, and why not, so that the report needs no
// open of its own; keeps the file open from the first reader that opens it until Reset: the
// readers after it share that open. A file that could not be opened is tried once, whichever
// reader asks, so that nothing (a FIFO's writer, say) sees it opened again and again.
class OpenWatch final : public FileAccess {
  public:
    OpenWatch(HostFileAccess& files, const RunFiles& run) : files_(files), run_(run) {}
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        if (path != openPath_ || (open_ == nullptr && !error_)) {
            Reset();
            openPath_ = path;
            auto file = files_.OpenRead(path);
            if (file == nullptr) {
                error_ = files_.LastOpenError();
                return nullptr;
            }
            open_ = std::move(file);
            opened_ = true;
        }
        if (open_ == nullptr) {
            return nullptr;
        }
        return std::make_unique<SharedInput>(open_);
    }
    std::unique_ptr<OutputFile> CreateWrite(const std::string& path) override {
        return run_.interruptions != nullptr ? run_.interruptions->CreateWrite(files_, path)
                                             : files_.CreateWrite(path);
    }
    std::optional<std::string> ReplaceProblem(const std::string& path,
                                              const std::string& keep) override {
        if (auto problem = files_.ReplaceProblem(path, keep)) {
            return problem;
        }
        // Nothing stands there, or a regular file: it must be none of the run's files.
        const auto target = HostFileIdentity(path);
        if (target && run_.identities.contains(*target)) {
            return path + " is the file being analysed; it is not replaced";
        }
        return std::nullopt;
    }
    // Closes the file kept open and forgets what was opened.
    void Reset() {
        open_.reset();
        openPath_.clear();
        opened_ = false;
        error_.clear();
    }
    bool Opened() const { return opened_; }
    std::error_code Error() const { return error_; }

  private:
    HostFileAccess& files_;
    const RunFiles& run_;
    std::shared_ptr<InputFile> open_;
    std::string openPath_;
    bool opened_ = false;
    std::error_code error_;
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

class FileAnalyser;

// What one step of the run gives: the text for standard output and for standard error, and
// the counts. A file whose export is due, or that could not be opened, comes with its analyser,
// to be finished in the files' order (the export) or where the host's words for the error may
// be looked up (not on a job thread).
struct FileOutput {
    std::string path;
    std::string problem;  // a folder that could not be read: the line to show
    std::string out;
    std::string err;
    bool opened = false;
    std::optional<std::error_code> openError;  // the file could not be opened
    ReportSummary counts;
    std::unique_ptr<FileAnalyser> unfinished;
};

// One job: its own file access, panes, messages and analysis state; only the tables are shared.
class FileAnalyser {
  public:
    FileAnalyser(const Options& options, const RunFiles& run)
        : options_(options), run_(run), format_(MakeFormat(options)) {}

    // The analysis. Formatting waits when the file needs an export or could not be opened:
    // unfinished() then says so.
    FileOutput Run(const std::string& path) {
        FileOutput result;
        result.path = path;
        analysis_.messages.Clear();
        files_.Reset();
        // A fresh record for every file: what a file shows never depends on the one before.
        analysis_.state = AnalysisState{};
        inspection_.reset();
        unfinished_ = false;
        Guarded(result, [&] {
            analysis_.Analyse(path);
            result.opened = files_.Opened();
            if (!result.opened) {
                result.openError = files_.Error();
            }
            if (options_.inspect && result.opened) {
                Inspect(path);
            }
            unfinished_ = !result.opened || (options_.exportPicture && PictureRow());
            if (!unfinished_) {
                Format(result, std::nullopt, std::nullopt);
            }
        });
        if (!unfinished_) {
            files_.Reset();
        }
        return result;
    }
    bool Unfinished() const { return unfinished_; }

    // The rest of a file Run left unfinished, in the files' order: the export, the formatting.
    void Finish(FileOutput& result, const std::string& openProblem) {
        Guarded(result, [&] {
            std::optional<PictureResult> picture;
            if (options_.exportPicture && result.opened) {
                picture = Export();
            }
            Format(result, picture,
                   result.opened ? std::nullopt : std::optional<std::string>(openProblem));
        });
        files_.Reset();
    }

  private:
    template <class Step>
    void Guarded(FileOutput& result, const Step& step) {
        try {
            step();
        } catch (const std::bad_alloc&) {
            // Whatever was printed of the file goes: the output stays whole, one file short.
            result.out.clear();
            result.err +=
                "veltrane-report: not enough memory to report " + VisibleText(result.path) + '\n';
            result.opened = false;
            unfinished_ = false;
        } catch (const std::exception& fault) {
            result.out.clear();
            result.err +=
                "veltrane-report: " + VisibleText(result.path) + ": " + fault.what() + '\n';
            result.opened = false;
            unfinished_ = false;
        }
    }

    void Format(FileOutput& result, const std::optional<PictureResult>& picture,
                const std::optional<std::string>& openProblem) {
        std::ostringstream out;
        std::ostringstream err;
        const FileReport report{result.path,          analysis_.mpegPane,
                                analysis_.id3v2Pane,  analysis_.id3v1Pane,
                                analysis_.lyricsPane, analysis_.messages.Messages(),
                                analysis_.state,      picture,
                                openProblem,          options_.inspect ? &inspection_ : nullptr};
        format_->File(report, out, err);
        result.counts.Add(report, result.opened);
        result.out = std::move(out).str();
        result.err += std::move(err).str();
    }

    // The standards' view of the file, through the open the analysis shares.
    void Inspect(const std::string& path) {
        if (const auto file = files_.OpenRead(path)) {
            // The tags are read in small blocks; a walk of every frame reads on in large ones.
            ByteView bytes(*file, 16 * 1024, options_.scan ? 1024 * 1024 : 4 * 1024);
            inspection_ = inspect::Inspect(bytes, options_.scan);
        }
    }

    bool PictureRow() const {
        const auto& rows = analysis_.id3v2Pane.Rows();
        return std::any_of(rows.begin(), rows.end(),
                           [](const auto& row) { return row.cells[0] == "APIC"; });
    }

    // The export runs as a click on the pane's picture row would, without the shell's open.
    std::optional<PictureResult> Export() {
        if (!PictureRow()) {
            return std::nullopt;
        }
        PictureResult exported;
        exported.result =
            PictureRowClick(analysis_.state, "APIC", analysis_.services, ".", false, exported.file);
        return exported;
    }

    const Options& options_;
    const RunFiles& run_;
    std::unique_ptr<ReportFormat> format_;
    bool unfinished_ = false;
    HostFileAccess hostFiles_;
    OpenWatch files_{hostFiles_, run_};
    AnalysisBundle analysis_{files_};
    std::optional<inspect::Inspection> inspection_;
};

constexpr int kWriteFailed = 3;

// Why writing to out failed, in the host's words when out writes to a descriptor.
std::string WriteProblem(const std::ostream& out) {
    const auto* descriptor = dynamic_cast<const DescriptorOutput*>(out.rdbuf());
    return descriptor != nullptr && descriptor->Error() ? descriptor->Error().message()
                                                        : "the output failed";
}

// The output of a run, in blocks of about 64 KiB written whole, checked on every write.
class CheckedOutput {
  public:
    CheckedOutput(std::ostream& out, Interruptions& interruptions)
        : out_(out), interruptions_(interruptions) {}
    void Add(std::string_view text) { pending_ += text; }
    std::size_t Pending() const { return pending_.size(); }
    // False when the write failed.
    bool Flush() {
        const std::lock_guard lock(interruptions_.Output());
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        out_.flush();
        pending_.clear();
        return static_cast<bool>(out_);
    }
    std::string Reason() const { return WriteProblem(out_); }

  private:
    std::ostream& out_;
    Interruptions& interruptions_;
    std::string pending_;
};

// Whether a run over these paths is likely to analyse more than one file; a lone PATH is asked
// whether it is a folder, many are not.
bool ManyFiles(const std::vector<std::string>& paths) {
    return paths.size() > 1 || (paths.size() == 1 && IsHostFolder(paths[0]));
}

}  // namespace

std::streamsize DescriptorOutput::xsputn(const char* data, std::streamsize n) {
    std::streamsize done = 0;
    while (done < n && !error_) {
        const ssize_t put = ::write(fd_, data + done, static_cast<std::size_t>(n - done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            error_.assign(put < 0 ? errno : EIO, std::generic_category());
            break;
        }
        done += put;
    }
    return done;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const ThreadStarter& start) {
    Options options;
    if (const auto status = ParseArguments(args, options, out, err)) {
        if (!out.flush()) {  // the help or the version
            err << "veltrane-report: cannot write the report: " << WriteProblem(out) << '\n';
            return kWriteFailed;
        }
        return *status;
    }
    InitId3Definitions();

    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1U, std::thread::hardware_concurrency());
    const bool progressShown = ProgressWanted(options.progress, StandardErrorIsTerminal(),
                                              ManyFiles(options.paths) ? 2 : 1);
    Interruptions interruptions(progressShown);
    RunFiles run;
    run.interruptions = &interruptions;
    Progress progress(err, progressShown, 0);
    const auto format = MakeFormat(options);
    ReportSummary summary;
    CheckedOutput output(out, interruptions);
    int status = 0;
    bool first = true;
    bool failed = false;
    const auto fail = [&] {
        progress.Finish();
        err << "veltrane-report: cannot write the report: " << output.Reason() << '\n';
        failed = true;
        return false;
    };
    const auto flush = [&] {
        progress.Hide();
        const bool written = output.Flush();
        progress.Show();
        return written;
    };
    std::ostringstream begin;
    format->Begin(begin);
    output.Add(begin.str());

    // One job has no read-ahead, and no need to watch for disk reads.
    ReadAhead readAhead(jobs > 1, start);
    // A step of the walk with its number in the run.
    struct Step {
        std::size_t index = 0;
        WalkStep walk;
    };
    using Pipeline = OrderedPipeline<Step, FileOutput>;
    // More jobs than processors help only while files come from the disk.
    Pipeline pipeline(PipelineSetup{jobs, 4 * static_cast<std::size_t>(jobs), std::size_t{1} << 16,
                                    start, std::max(1U, std::thread::hardware_concurrency())});
    const auto produce = [&](const Pipeline::Sink& sink) {
        std::size_t count = 0;
        const auto add = [&](WalkStep step) {
            if (!step.path.empty()) {
                readAhead.Found(count, step.path);
            }
            return sink(Step{count++, std::move(step)});
        };
        if (!options.exportPicture) {
            WalkFiles(options.paths, options.recursive, add);
            return;
        }
        std::vector<WalkStep> steps;
        WalkFiles(options.paths, options.recursive, [&](WalkStep step) {
            steps.push_back(std::move(step));
            return true;
        });
        for (const auto& step : steps) {
            if (const auto identity = HostFileIdentity(step.path)) {
                run.identities.insert(*identity);
            }
        }
        for (auto& step : steps) {
            if (!add(std::move(step))) {
                return;
            }
        }
    };
    const auto makeJob = [&]() -> Pipeline::Job {
        auto analyser = std::make_shared<std::unique_ptr<FileAnalyser>>(
            std::make_unique<FileAnalyser>(options, run));
        return [&, analyser](Step& step) {
            if (!step.walk.problem.empty()) {
                FileOutput problem;
                problem.problem = std::move(step.walk.problem);
                return problem;
            }
            readAhead.Claimed(step.index);
            const std::int64_t readsBefore = readAhead.On() ? ThreadDiskReads() : 0;
            FileOutput result = (*analyser)->Run(step.walk.path);
            const bool fromDisk = readAhead.On() && ThreadDiskReads() != readsBefore;
            readAhead.Done(fromDisk);
            pipeline.Widen(fromDisk);
            if ((*analyser)->Unfinished()) {
                result.unfinished = std::move(*analyser);
                *analyser = std::make_unique<FileAnalyser>(options, run);
            }
            return result;
        };
    };
    const auto inOrder = [&](FileOutput& file) {
        std::string errText;
        if (!file.problem.empty()) {
            errText = "veltrane-report: " + file.problem + '\n';
            status = 1;
        } else {
            std::string openProblem;
            if (file.openError) {
                openProblem =
                    *file.openError ? file.openError->message() : "it vanished while being read";
                errText = "veltrane-report: cannot open " + VisibleText(file.path) + ": " +
                          openProblem + '\n';
            }
            if (file.unfinished) {
                file.unfinished->Finish(file, openProblem);
                file.unfinished.reset();
            }
            errText += file.err;
            status = file.opened ? status : 1;
            summary.Add(file.counts);
        }
        // Output leaves before anything goes to standard error, so that the two keep their
        // order on a terminal.
        if (!errText.empty()) {
            if (!flush()) {
                return fail();
            }
            progress.Write(errText);
        }
        if (!file.out.empty()) {
            output.Add(format->Before(first));
            output.Add(file.out);
            first = false;
        }
        if (output.Pending() >= 64 * 1024 && !flush()) {
            return fail();
        }
        const auto [found, all] = pipeline.Found();
        progress.Total(found, all);
        if (file.problem.empty()) {
            progress.Done();
        }
        return true;
    };
    const PipelineOutcome outcome = pipeline.Run(produce, makeJob, inOrder);
    if (outcome.threadsStarted < outcome.threadsWanted) {
        progress.Write(
            "veltrane-report: could start only " + std::to_string(outcome.threadsStarted) + " of " +
            std::to_string(outcome.threadsWanted) + " threads; the run goes on with fewer\n");
    }
    if (failed) {
        return kWriteFailed;
    }
    progress.Finish();
    std::ostringstream end;
    format->End(options.summary ? &summary : nullptr, end);
    output.Add(end.str());
    if (!output.Flush()) {
        fail();
        return kWriteFailed;
    }
    return status;
}

}  // namespace veltrane
