#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "report/mod_Report.h"
#include "report/mod_ReportProgress.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

using namespace fixture;
using namespace veltrane;
namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

struct Run {
    int status;
    std::string out;
    std::string err;
};

Run Report(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = veltrane::RunReport(args, out, err);
    return {status, out.str(), err.str()};
}

// Every case runs in a fresh folder as the working folder.
class ReportTool : public ::testing::Test {
  protected:
    void SetUp() override { fs::current_path(temp_.Path()); }
    void TearDown() override { fs::current_path(cwd_); }
    fs::path cwd_ = fs::current_path();
    TempFolder temp_;
};

const std::string kV11 = MpegFrame() + Id3v1({"Title", "Artist", "Album", "2001", "", 7, 17});

std::vector<std::string> Paths(const std::string& json) {
    std::vector<std::string> paths;
    const Json document = Json::parse(json);
    for (const auto& file : document["files"]) {
        paths.push_back(file["path"]);
    }
    return paths;
}

}  // namespace

// A title that clears the screen, and a name and tags that would forge sections: every control
// character shows as an escape, one row is one line, and the lyrics lines are indented; the
// JSON form gives the name back byte for byte.
TEST_F(ReportTool, ShowsControlCharactersInTextAsEscapesSoNothingForgesARow) {
    temp_.Write("a\\\"\n[ID3v1]\x1b\xC2\x80.mp3",
                MpegFrame(6000) + Lyrics3v1("x\r\n[ID3v1]\r\nArtist\tme") +
                    Id3v1({"\x1b[2J\\t\n[ID3v1]", "A\tB\x7f\x81", "", "", "", 1, 0}));
    const std::string out = Report({"."}).out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    for (const char* line : {"== ./a\\\\\"\\n[ID3v1]\\x1b\\u0080.mp3\n", "\n[ID3v1]\n",
                             "\nTitle\t\\x1b[2J\\\\t\\n[ID3v1]\n", "\nArtist\tA\\tB\\x7f\\u0081\n",
                             "\n  x\n  [ID3v1]\n  Artist\\tmeLYRICS \n"}) {
        EXPECT_NE(out.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(out.find("\n[ID3v1]\n"), out.rfind("\n[ID3v1]\n"));
    EXPECT_EQ(Paths(Report({"--json", "."}).out),
              std::vector<std::string>{"./a\\\"\n[ID3v1]\x1b\xC2\x80.mp3"});
}

// Each row: the arguments, the exit status, and the start of standard output (or of standard
// error for a usage error and the progress line).
TEST_F(ReportTool, ParsesItsOptions) {
    temp_.Write("-x.mp3", kV11);
    temp_.Write("bad\xFF.mp3", kV11);
    const std::string usage =
        "\nUsage: veltrane-report [--json] [--export-picture] [--inspect] [--scan] [-r] [-j N]\n"
        "                       [--summary] [--progress|--no-progress] PATH...\n";
    const std::string jobs = "veltrane-report: the number of jobs must be from 1 to 1024, not ";
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{}, 2, "veltrane-report: no PATH given" + usage},
        {{"--frobnicate", "F"}, 2, "veltrane-report: unknown option --frobnicate" + usage},
        {{"F", "-j"}, 2, "veltrane-report: -j needs a number" + usage},
        {{"-j", "0", "F"}, 2, jobs + "0" + usage},
        {{"-jx", "F"}, 2, jobs + "x" + usage},
        {{"--jobs=1025", "F"}, 2, jobs + "1025" + usage},
        {{"--jobs", "99999999999", "F"}, 2, jobs + "99999999999" + usage},
        {{"--jobs=1024", "F"}, 0, "== ./-x.mp3\n[MPEG]"},
        {{"-j9", "--no-progress", "F"}, 0, "== ./-x.mp3\n[MPEG]"},
        {{"--", "-x.mp3"}, 0, "== -x.mp3\n[MPEG]"},  // a file named like an option
        {{"-", "F"}, 1, "== -\n"},                   // a lone "-" is a path
        {{"--json", "bad\xFF.mp3"}, 0, "{\"files\": [\n{\"path\":\"bad\xEF\xBF\xBD.mp3\""},
        {{"--progress", "F"}, 0, "\r["},
        {{"-h", "F"}, 0, "Usage: veltrane-report [OPTION]... PATH...\n"},
        {{"--version"}, 0, "veltrane-report 0."},
    };
    for (auto [args, status, shown] : cases) {
        std::replace(args.begin(), args.end(), std::string("F"), std::string("./-x.mp3"));
        const auto run = Report(args);
        const std::string& printed = status == 2 || shown[0] == '\r' ? run.err : run.out;
        EXPECT_EQ(run.status, status) << ::testing::PrintToString(args);
        EXPECT_EQ(printed.substr(0, shown.size()), shown) << ::testing::PrintToString(args);
    }
}

// The export runs after the analysis, into the working folder, its messages after the
// analysis's own: on standard error in text, with the file in JSON.
TEST_F(ReportTool, ExportsThePictureIntoTheWorkingFolderOnRequest) {
    temp_.Write("a.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", "\x89PNG a"))));
    temp_.Write("b.mp3", MpegFrame());
    temp_.Write("c.mp3",
                Id3v2(3, Frame23("TLEN", Text("x")) +
                             Frame23("APIC", ApicData("image/png", "", "\x89PNG"), 0, 0x40)));
    const Json files = Json::parse(Report({"--json", "--export-picture", "."}).out)["files"];
    EXPECT_EQ(files[0]["picture"], Json({{"result", 1}, {"file", "./image.png"}}));
    EXPECT_TRUE(files[1]["picture"].is_null());
    EXPECT_EQ(files[2]["picture"], Json({{"result", -1}, {"file", ""}}));
    EXPECT_EQ(files[2]["messages"],
              Json::parse(R"([{"title": "ReadID3dPAT", "text": "Type mismatch", "icon": "critical"},
                  {"title": "GetPicture", "text": "cannot handle encryption", "icon": "none"}])"));
    EXPECT_EQ(Slurp("image.png"), "\x89PNG a");
    const auto text = Report({"--export-picture", "a.mp3", "c.mp3"});
    EXPECT_NE(text.out.find("[Picture]\n1\t./image.png\n"), std::string::npos);
    EXPECT_NE(text.out.find("[Picture]\n-1\t\n"), std::string::npos);
    EXPECT_EQ(text.err, "ReadID3dPAT: Type mismatch\nGetPicture: cannot handle encryption\n");
}

// Every reader of a file shares one open, and a file that cannot be read is tried once: a slow
// disk or a FIFO's writer sees one open (and its close: unlike repeated opens, never merged).
TEST_F(ReportTool, OpensEachFileOnceForAllItsReaders) {
    temp_.Write("tags.mp3", Id3v2(3, Frame23("TIT2", Text("T"))) + kV11 + Lyrics3v1("x"));
    temp_.Write("empty.mp3", "");
    for (const char* name : {"tags.mp3", "empty.mp3"}) {
        const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(events, name, IN_OPEN | IN_CLOSE_NOWRITE), 0);
        Report({name});
        std::array<char, 4096> buffer{};
        EXPECT_EQ(::read(events, buffer.data(), buffer.size()), 2 * sizeof(inotify_event)) << name;
        ::close(events);
    }
}

// Folders stand for their MP3 files as the viewer lists them: regular files (links to files
// too) matching *.mp3 in any case, sorted ignoring case; with -r the visible sub-folders follow,
// depth first, and links to folders are never followed, so a loop cannot hold the walk.
TEST_F(ReportTool, WalksFoldersInTheViewersOrderWithTheirFilesBeforeTheirSubFolders) {
    for (const auto* file : {"b.mp3", "A.MP3", "c.txt", ".h.mp3", "z/1.mp3", "Y/2.mp3",
                             "Y/deep/3.mp3", ".hidden/4.mp3"}) {
        temp_.Write(file, MpegFrame());
    }
    ASSERT_TRUE(
        temp_.Shell("mkdir x.mp3 && ln -s Y/2.mp3 link.mp3 && ln -s . loop && mkfifo fifo.mp3"));
    const std::vector<std::string> files = {"./.h.mp3", "./A.MP3", "./b.mp3", "./link.mp3"};
    EXPECT_EQ(Paths(Report({"--json", "."}).out), files);
    auto deep = files;
    deep.insert(deep.end(), {"./Y/2.mp3", "./Y/deep/3.mp3", "./z/1.mp3", "b.mp3"});
    EXPECT_EQ(Paths(Report({"--json", "-r", ".", "b.mp3"}).out), deep);
}

// The same files give the same bytes whatever the number of jobs, also when they come from the
// disk (the read-ahead then runs); the exports still run in the files' order.
TEST_F(ReportTool, PrintsTheSameWhateverTheNumberOfJobs) {
    for (int i = 0; i < 40; ++i) {
        std::string body = Frame23("TIT2", Text("Song " + std::to_string(i)));
        body += i % 3 == 0
                    ? Frame23("APIC", ApicData("image/png", "", "\x89PNG" + std::to_string(i)))
                    : "";
        body += i % 7 == 0 ? Frame23("TLEN", Text("soon")) : "";  // a message box
        temp_.Write("f" + std::to_string(100 + i) + ".mp3",
                    (i % 5 == 0 ? "" : Id3v2(3, body)) + MpegFrame(418 * (i + 1)) +
                        (i % 2 == 0 ? kV11.substr(418) : ""));
    }
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"."}, {"--json", "--summary", "."}, {"--export-picture", "."}}) {
        auto one = mode;
        one.insert(one.begin(), {"-j", "1"});
        const auto serial = Report(one);
        fs::remove("image.png");
        for (const auto& entry : fs::directory_iterator(".")) {  // out of the page cache
            const int fd = ::open(entry.path().c_str(), O_RDONLY);
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
        auto four = mode;
        four.insert(four.begin(), "--jobs=4");
        const auto parallel = Report(four);
        EXPECT_EQ(serial.out, parallel.out);
        EXPECT_EQ(serial.err, parallel.err);
        EXPECT_EQ(serial.status, parallel.status);
    }
    EXPECT_EQ(Slurp("image.png"), "\x89PNG39");  // the last file's picture
}

TEST_F(ReportTool, SumsUpTheRun) {
    const std::string picture = Frame23("APIC", ApicData("image/png", "", "\x89PNG"));
    std::string xing = MpegFrame();
    xing.replace(36, 4, "Xing");
    temp_.Write("a.mp3", kV11);
    temp_.Write("b.mp3", Id3v2(2, Frame22("TT2", Text("x"))));
    temp_.Write("c.mp3", Id3v2(3, picture + Frame23("TLEN", Text("soon"))) + MpegFrame(41800));
    temp_.Write("d.mp3", Id3v2(4, ""));
    temp_.Write("e.mp3", Id3v2(9, ""));
    temp_.Write("f.mp3",
                xing + std::string(6000, '\0') + Lyrics3v2({{"LYR", "la"}}) + kV11.substr(418));
    temp_.Write("g.mp3", Id3v2(3, picture) + MpegFrame(41800));
    const auto run = Report({"--json", "--summary", ".", "missing.mp3"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Json::parse(run.out)["summary"], Json::parse(R"({"analysed": 8, "notOpened": 1,
        "withID3v1": 2, "withID3v2": {"2": 1, "3": 2, "4": 1, "other": 1},
        "withLyrics3": {"1": 0, "2": 1}, "withPicture": 2, "withXing": 1,
        "messages": {"ReadID3dPAT": 1}, "playingTime": "00:00:04"})"));
}

// The built tool itself over the sample files: its output, standard error merged in the order
// written, and its exit status against the golden files. After a deliberate change of the
// output, write them anew with the tool and read the difference.
TEST(ReportToolItself, PrintsWhatTheGoldenFilesHold) {
    const std::tuple<std::string, const char*, int> runs[] = {
        {"--summary missing.mp3", "samples.txt", 1},
        {"--json --summary -j 3 no-tags.mp3 id3v1.mp3 id3v22.mp3 id3v23.mp3 id3v24.mp3 lyrics3.mp3",
         "samples.json", 0}};
    for (const auto& [args, golden, status] : runs) {
        const std::string command =
            "cd " VELTRANE_SAMPLE_DIR " && " VELTRANE_REPORT_TOOL " " + args + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        EXPECT_NE(pipe, nullptr) << args;
        if (pipe == nullptr) {
            continue;
        }
        std::string out(1 << 16, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), status) << args;
        EXPECT_EQ(out, Slurp(fs::path(VELTRANE_SOURCE_DIR) / "tests" / "golden" / golden)) << args;
    }
}

// Shown on a terminal for more than one file unless forced. The second file comes too soon for
// a redraw of its own; a message brings the line back; the last file's line says nothing is
// left, and the line is cleared at the end.
TEST(ReportProgress, ShowsOnATerminalAndRedrawsAtMostTenTimesASecond) {
    EXPECT_TRUE(ProgressWanted(std::nullopt, true, 2));
    EXPECT_FALSE(ProgressWanted(std::nullopt, true, 1));
    EXPECT_FALSE(ProgressWanted(std::nullopt, false, 1000));
    EXPECT_TRUE(ProgressWanted(true, false, 1));
    EXPECT_FALSE(ProgressWanted(false, true, 1000));
    std::ostringstream err;
    {
        Progress progress(err, true, 4);
        const auto start = Progress::Clock::now();
        for (const int ms : {0, 50, -1, 150, 300}) {
            ms < 0 ? progress.Write("a message\n")
                   : progress.Done(start + std::chrono::milliseconds(ms));
        }
    }
    const std::string shown = err.str();
    const auto line = [&](const std::string& count) {
        const auto at = shown.find("] " + count + " files");
        return at == std::string::npos ? "" : shown.substr(at, shown.find('\x1b', at) - at);
    };
    EXPECT_EQ(shown.rfind("\r[#######.......................] 1/4 files", 0), 0U);
    EXPECT_GT(shown.find("] 2/4 files"), shown.find("\r\x1b[Ka message\n\r["));
    EXPECT_NE(line("3/4").find(" files/s  00:00:00 left"), std::string::npos);
    EXPECT_EQ(line("4/4").substr(0, 12), "] 4/4 files ");
    EXPECT_EQ(line("4/4").find("left"), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K");
    std::ostringstream quiet;
    Progress(quiet, false, 4).Done();
    EXPECT_EQ(quiet.str(), "");
}

namespace {

// Runs a command through the shell in folder.
Run Tool(const fs::path& folder, const std::string& command) {
    const std::string line = "cd '" + folder.string() + "' && " + command;
    FILE* pipe = ::popen(line.c_str(), "r");
    std::string out;
    for (char buffer[4096]; const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe);) {
        out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), out, ""};
}

const std::string kTool = VELTRANE_REPORT_TOOL;

}  // namespace

// An MP3 of the run under a picture's name, before or after the exporting file in the order,
// named or reached through a *.mp3 link, is never replaced, and every -j says the same.
TEST_F(ReportTool, NeverReplacesAFileOfTheRunWithAnExport) {
    const std::string png = Id3v2(3, Frame23("APIC", ApicData("image/png", "", "\x89PNG new")));
    temp_.Write("image.png", kV11);
    temp_.Write("b.mp3", png);
    ASSERT_TRUE(temp_.Shell("ln -s image.png a.mp3"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--export-picture", "-j", "1", "."},
          {"--export-picture", "-j", "4", "."},
          {"--export-picture", "b.mp3", "image.png"}}) {
        const auto run = Report(args);
        EXPECT_EQ(Slurp("image.png"), kV11);
        EXPECT_NE(run.err.find("GetPicture: ./image.png is the file being analysed; it is not "
                               "replaced\n"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.out.find("[Picture]\n-1\t./image.png\n"), std::string::npos);
    }
}

// Threads that cannot be started: the same output with the calling thread alone, said once.
TEST_F(ReportTool, GoesOnWhenItsThreadsCannotStart) {
    for (int i = 0; i < 5; ++i) {
        temp_.Write("f" + std::to_string(i) + ".mp3", kV11);
    }
    std::ostringstream out;
    std::ostringstream err;
    const auto none = [](std::vector<std::jthread>&, std::function<void()>) { return false; };
    EXPECT_EQ(RunReport({"-j", "4", "--no-progress", "."}, out, err, none), 0);
    EXPECT_EQ(out.str(), Report({"-j", "1", "."}).out);
    EXPECT_EQ(err.str(),
              "veltrane-report: could start only 0 of 4 threads; the run goes on with fewer\n");
}

// A write that fails stops the run at once with the reason and status 3: a full disk, and a
// reader gone early with SIGPIPE ignored (as many runtimes leave it for their children).
TEST_F(ReportTool, StopsWithAMessageWhenItsOutputCannotBeWritten) {
    for (int i = 0; i < 300; ++i) {
        temp_.Write("f" + std::to_string(i) + ".mp3", kV11);
    }
    EXPECT_EQ(Tool(temp_.Path(), kTool + " --help 2>err.txt >/dev/full").status, 3);
    EXPECT_EQ(Tool(temp_.Path(), kTool + " . 2>err.txt >/dev/full").status, 3);
    EXPECT_EQ(Slurp("err.txt"),
              "veltrane-report: cannot write the report: No space left on device\n");
    Tool(temp_.Path(), "(trap '' PIPE; " + kTool +
                           " --json . 2>err.txt; echo $? >status.txt) | head -c 1 >/dev/null");
    EXPECT_EQ(Slurp("status.txt"), "3\n");
    EXPECT_EQ(Slurp("err.txt"), "veltrane-report: cannot write the report: Broken pipe\n");
}

// On one terminal the progress line is cleared before any output and drawn again after: no
// line of the report starts on it.
TEST_F(ReportTool, KeepsTheProgressLineOffTheOutputOnATerminal) {
    for (int i = 0; i < 30; ++i) {
        temp_.Write("f" + std::to_string(i) + ".mp3",
                    i % 10 == 0 ? Id3v2(3, Frame23("TLEN", Text("x"))) + kV11 : kV11);
    }
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(kTool.c_str(), kTool.c_str(), "--progress", "-j", "3", ".", nullptr);
        ::_exit(127);
    }
    std::string shown;
    for (char buffer[4096];;) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    int blocks = 0;
    for (const std::string start : {"== ./", "ReadID3dPAT: "}) {
        for (auto at = shown.find(start); at != std::string::npos; at = shown.find(start, at + 1)) {
            const std::string before = shown.substr(at < 4 ? 0 : at - 4, at < 4 ? at : 4);
            EXPECT_TRUE(at == 0 || before.ends_with("\n") || before == "\r\x1b[K")
                << ::testing::PrintToString(shown.substr(at < 80 ? 0 : at - 80, 100));
            ++blocks;
        }
    }
    EXPECT_EQ(blocks, 33);
    EXPECT_NE(shown.find(" files/s"), std::string::npos);
}

// SIGTERM in the middle of an export: the temporary picture goes, the progress line is cleared,
// and the process ends by the signal (a shell shows 128 + 15).
TEST_F(ReportTool, LeavesNoTemporaryPictureWhenInterrupted) {
    const std::string picture = "\x89PNG" + std::string(120 << 20, 'p');
    temp_.Write("big.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", picture))));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(::open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        ::execl(kTool.c_str(), kTool.c_str(), "--progress", "--export-picture", "big.mp3", nullptr);
        ::_exit(127);
    }
    bool seen = false;
    for (int tries = 0; !seen && tries < 20000; ++tries) {
        for (const auto& entry : fs::directory_iterator(".")) {
            seen = seen || entry.path().filename().string().starts_with(".image.png.");
        }
        if (!seen) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(seen);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    const std::string err = Slurp("err.txt");
    EXPECT_TRUE(err.ends_with("\r\x1b[K")) << ::testing::PrintToString(err);
    for (const auto& entry : fs::directory_iterator(".")) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".image")) << entry.path();
    }
}

// The usage line, --help, the README and the manual page name every option.
TEST(ReportToolItself, NamesEveryOptionWhereverItIsDocumented) {
    const fs::path source = VELTRANE_SOURCE_DIR;
    std::string manual = Slurp(source / "data" / "veltrane-report.1.in");
    for (auto at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) {
        manual.erase(at, 1);
    }
    const std::string usage = Report({}).err;
    const std::map<std::string, std::string> documents = {{"usage", usage},
                                                          {"help", Report({"--help"}).out},
                                                          {"README", Slurp(source / "README.md")},
                                                          {"manual", manual}};
    for (const auto& [name, text] : documents) {
        for (const char* option : {"--json", "--export-picture", "-r", "-j", "--summary",
                                   "--progress", "--no-progress", "-h", "--help", "--version"}) {
            EXPECT_NE(text.find(option), std::string::npos) << option << " in " << name;
        }
        if (name != "usage") {
            EXPECT_NE(text.find("--recursive"), std::string::npos) << name;
            EXPECT_NE(text.find("--jobs"), std::string::npos) << name;
            EXPECT_NE(text.find("3 when the report could not be written"), std::string::npos)
                << name;
        }
    }
}
