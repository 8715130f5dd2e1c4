#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

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

class ReportTool : public ::testing::Test {
  protected:
    void TearDown() override { fs::current_path(cwd_); }  // some cases run in the folder
    std::string Write(const std::string& name, const std::string& bytes) {
        return temp_.Write(name, bytes).string();
    }
    TempFolder temp_;
    const fs::path& folder_ = temp_.Path();
    fs::path cwd_ = fs::current_path();
};

const std::string kV11 = MpegFrame(418, 0xFB, 0x90, 0x64) +
                         Id3v1({"Title \x80", "Artist", "Album", "2001", "Comment", 7, 17});

}  // namespace

// A title that clears the screen, and a name and tags that would forge sections: every control
// character shows as an escape, one row is one line, and the lyrics lines are indented.
TEST_F(ReportTool, ShowsControlCharactersInTextAsEscapesSoNothingForgesARow) {
    const auto path = Write("a\n[ID3v1]\x1b\xC2\x80.mp3",
                            MpegFrame(6000) + Lyrics3v1("x\r\n[ID3v1]\r\nArtist\tme") +
                                Id3v1({"\x1b[2J\\t\n[ID3v1]", "A\tB\x7f\x81", "", "", "", 1, 0}));
    const auto run = Report({path});
    std::vector<std::string> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[ID3v1]"), 1);
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("== " + (folder_ / "a\\n[ID3v1]\\x1b\\u0080.mp3").string()));
    EXPECT_TRUE(has("Title\t\\x1b[2J\\\\t\\n[ID3v1]"));
    EXPECT_TRUE(has("Artist\tA\\tB\\x7f\\u0081"));
    EXPECT_TRUE(has("  x"));
    EXPECT_TRUE(has("  [ID3v1]"));
    EXPECT_TRUE(has("  Artist\\tmeLYRICS "));
}

// Cells and names are decoded at the edge: Windows-1252 tags become UTF-8, and a name that is
// no UTF-8 keeps the document valid.
TEST_F(ReportTool, DecodesEveryCellAndNameIntoValidJson) {
    const auto path = Write("bad\xFF.mp3", kV11);
    const auto run = Report({"--json", path});
    EXPECT_EQ(run.status, 0);
    const Json file = Json::parse(run.out)["files"][0];
    EXPECT_EQ(file["path"], (folder_ / "bad\xEF\xBF\xBD.mp3").string());  // U+FFFD
    EXPECT_EQ(file["id3v1"][4], Json({{"item", "Title"}, {"value", "Title \xE2\x82\xAC"}}));
    EXPECT_NE(Report({path}).out.find("Title\tTitle \xE2\x82\xAC\n"), std::string::npos);
}

// Each row: the arguments ("F" stands for a good file), the exit status, and the start of
// standard output or error.
TEST_F(ReportTool, ParsesItsOptions) {
    Write("-x.mp3", kV11);
    fs::current_path(folder_);
    const std::string usage =
        "Usage: veltrane-report [--json] [--export-picture] [-r] [-j N] "
        "[--summary] PATH...\n";
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{}, 2, "veltrane-report: no PATH given\n" + usage},
        {{"--frobnicate", "F"}, 2, "veltrane-report: unknown option --frobnicate\n" + usage},
        {{"F", "-j"}, 2, "veltrane-report: -j needs a number\n" + usage},
        {{"-j", "0", "F"}, 2, "veltrane-report: the number of jobs must be from 1 to 1024, not 0"},
        {{"-jx", "F"}, 2, "veltrane-report: the number of jobs must be from 1 to 1024, not x"},
        {{"--jobs=1025", "F"}, 2, "veltrane-report: the number of jobs must be from 1 to 1024"},
        {{"--jobs", "99999999999", "F"}, 2, "veltrane-report: the number of jobs must be"},
        {{"--jobs=1024", "F"}, 0, "== ./-x.mp3\n[MPEG]"},
        {{"-j7", "--no-progress", "F"}, 0, "== ./-x.mp3\n[MPEG]"},
        {{"--", "-x.mp3"}, 0, "== -x.mp3\n[MPEG]"},  // a file named like an option
        {{"-", "F"}, 1, "== -\n"},                   // a lone "-" is a path
        {{"--json", "F"}, 0, "{\"files\": [\n{\"path\":\"./-x.mp3\""},
        {{"--progress", "F"}, 0, "\r["},
        {{"--help"}, 0, "Usage: veltrane-report [OPTION]... PATH...\n"},
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
    const std::string png = "\x89PNG picture";
    const auto path =
        Write("cover.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", png))) + MpegFrame());
    const auto plain = Write("plain.mp3", MpegFrame());
    const auto locked =
        Write("locked.mp3",
              Id3v2(3, Frame23("TLEN", Text("x")) +
                           Frame23("APIC", ApicData("image/png", "", "\x89PNG", 0), 0, 0x40)) +
                  MpegFrame());
    fs::current_path(folder_);
    const auto run = Report({"--json", "--export-picture", path, plain, locked});
    EXPECT_EQ(run.status, 0);
    const Json document = Json::parse(run.out);
    EXPECT_EQ(document["files"][0]["picture"], Json({{"result", 1}, {"file", "./image.png"}}));
    EXPECT_TRUE(document["files"][1]["picture"].is_null());
    EXPECT_EQ(document["files"][2]["picture"], Json({{"result", -1}, {"file", ""}}));
    EXPECT_EQ(document["files"][2]["messages"],
              Json::parse(R"([{"title": "ReadID3dPAT", "text": "Type mismatch", "icon": "critical"},
                  {"title": "GetPicture", "text": "cannot handle encryption", "icon": "none"}])"));
    EXPECT_EQ(Slurp(folder_ / "image.png"), png);
    EXPECT_NE(Report({"--export-picture", path}).out.find("[Picture]\n1\t./image.png\n"),
              std::string::npos);
    const auto text = Report({"--export-picture", locked});
    EXPECT_EQ(text.err, "ReadID3dPAT: Type mismatch\nGetPicture: cannot handle encryption\n");
    EXPECT_NE(text.out.find("[Picture]\n-1\t\n"), std::string::npos);
}

namespace {

std::vector<std::string> PathsIn(const std::string& json, const fs::path& base) {
    std::vector<std::string> paths;
    const Json document = Json::parse(json);
    for (const auto& file : document["files"]) {
        paths.push_back(fs::path(file["path"].get<std::string>()).lexically_relative(base));
    }
    return paths;
}

}  // namespace

// Folders stand for their MP3 files as the viewer lists them: regular files (links to files
// too) matching *.mp3 in any case, sorted ignoring case; with -r the visible sub-folders follow,
// depth first, and links to folders are never followed, so a loop cannot hold the walk.
TEST_F(ReportTool, WalksFoldersInTheViewersOrderWithTheirFilesBeforeTheirSubFolders) {
    const fs::path lib = folder_ / "lib";
    for (const auto* dir : {"z", "Y/deep", ".hidden", "x.mp3"}) {
        fs::create_directories(lib / dir);
    }
    for (const auto* file :
         {"b.mp3", "A.MP3", "c.txt", ".h.mp3", "longname_b.mp3", "LONGNAME_a.mp3", "z/1.mp3",
          "Y/2.mp3", "Y/deep/3.mp3", ".hidden/4.mp3"}) {
        std::ofstream(lib / file, std::ios::binary) << MpegFrame();
    }
    fs::create_symlink(lib / "Y" / "2.mp3", lib / "link.mp3");
    fs::create_symlink(lib, lib / "loop");
    ASSERT_EQ(::mkfifo((lib / "fifo.mp3").c_str(), 0644), 0);

    const auto flat = Report({"--json", lib.string()});
    EXPECT_EQ(flat.status, 0);
    EXPECT_EQ(PathsIn(flat.out, lib),
              (std::vector<std::string>{".h.mp3", "A.MP3", "b.mp3", "link.mp3", "LONGNAME_a.mp3",
                                        "longname_b.mp3"}));
    const auto deep = Report({"--json", "-r", lib.string(), (lib / "b.mp3").string()});
    EXPECT_EQ(PathsIn(deep.out, lib),
              (std::vector<std::string>{".h.mp3", "A.MP3", "b.mp3", "link.mp3", "LONGNAME_a.mp3",
                                        "longname_b.mp3", "Y/2.mp3", "Y/deep/3.mp3", "z/1.mp3",
                                        "b.mp3"}));
}

// The same files give the same bytes whatever the number of jobs, and the exports still run in
// the files' order: the picture left is the last file's.
TEST_F(ReportTool, PrintsTheSameWhateverTheNumberOfJobs) {
    const std::string png = Bytes({0x89, 'P', 'N', 'G'});
    for (int i = 0; i < 40; ++i) {
        std::string body = Frame23("TIT2", Text("Song " + std::to_string(i)));
        if (i % 3 == 0) {
            body += Frame23("APIC", ApicData("image/png", "", png + std::to_string(i)));
        }
        if (i % 7 == 0) {
            body += Frame23("TLEN", Text("soon"));  // a message box
        }
        Write("f" + std::to_string(100 + i) + ".mp3",
              (i % 5 == 0 ? std::string() : Id3v2(3, body)) + MpegFrame(418 * (i + 1)) +
                  (i % 2 == 0 ? kV11.substr(kV11.size() - 128) : ""));
    }
    fs::current_path(folder_);
    for (const auto& mode :
         std::vector<std::vector<std::string>>{{}, {"--json", "--summary"}, {"--export-picture"}}) {
        std::vector<std::string> serial = mode;
        serial.insert(serial.end(), {"-j", "1", "."});
        std::vector<std::string> parallel = mode;
        parallel.insert(parallel.end(), {"--jobs=4", "."});
        const auto one = Report(serial);
        const std::string picture = mode.empty() ? "" : Slurp("image.png");
        fs::remove("image.png");
        // Out of the page cache, so that the jobs read from the disk and the read-ahead runs.
        for (const auto& entry : fs::directory_iterator(".")) {
            const int fd = ::open(entry.path().c_str(), O_RDONLY);
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
        const auto four = Report(parallel);
        EXPECT_EQ(one.out, four.out);
        EXPECT_EQ(one.err, four.err);
        EXPECT_EQ(one.status, four.status);
        if (mode == std::vector<std::string>{"--export-picture"}) {
            EXPECT_EQ(Slurp("image.png"), png + "39");
            EXPECT_EQ(picture, png + "39");
        }
    }
}

TEST_F(ReportTool, SumsUpTheRun) {
    Write("a-v1.mp3", kV11);
    Write("b-v22.mp3", Id3v2(2, Frame22("TT2", Text("x"))) + MpegFrame());
    Write("c-v23.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", "\x89PNG")) +
                                    Frame23("TLEN", Text("soon"))) +
                           MpegFrame(4180));
    Write("d-v24.mp3", Id3v2(4, "") + MpegFrame());
    Write("e-v9.mp3", Id3v2(9, "") + MpegFrame());
    std::string xing = MpegFrame();
    xing.replace(36, 4, "Xing");
    Write("f-xing.mp3", xing + Fill(6000) + Lyrics3v2({{"LYR", "la"}}) + kV11.substr(418));
    Write("g-v23.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", "\x89PNG"))));
    const auto run =
        Report({"--json", "--summary", folder_.string(), (folder_ / "missing.mp3").string()});
    EXPECT_EQ(run.status, 1);
    const Json summary = Json::parse(run.out)["summary"];
    EXPECT_EQ(summary, Json::parse(R"({"analysed": 8, "notOpened": 1, "withID3v1": 2,
        "withID3v2": {"2": 1, "3": 2, "4": 1, "other": 1}, "withLyrics3": {"1": 0, "2": 1},
        "withPicture": 2, "withXing": 1, "messages": {"ReadID3dPAT": 1},
        "playingTime": "00:00:00"})"));
    const auto text = Report({"--summary", (folder_ / "c-v23.mp3").string()});
    EXPECT_NE(text.out.find("[Summary]\nFiles analysed\t1\nFiles not opened\t0\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("Messages ReadID3dPAT\t1\nPlaying time\t00:00:00\n"),
              std::string::npos);
}

// The built tool itself over the sample files: its output, standard error merged in the order
// written, and its exit status against the golden files. After a deliberate change of the
// output, write them anew with the tool and read the difference.
TEST(ReportToolItself, PrintsWhatTheGoldenFilesHold) {
    const std::tuple<std::string, const char*, int> runs[] = {
        {"id3v23.mp3 missing.mp3", "samples.txt", 1},
        {"--json --summary -j 3 no-tags.mp3 id3v1.mp3 id3v22.mp3 id3v23.mp3 lyrics3.mp3",
         "samples.json", 0}};
    for (const auto& [args, golden, status] : runs) {
        const std::string command =
            "cd " VELTRANE_SAMPLE_DIR " && " VELTRANE_REPORT_TOOL " " + args + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out(1 << 16, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), status) << args;
        EXPECT_EQ(out, Slurp(fs::path(VELTRANE_SOURCE_DIR) / "tests" / "golden" / golden)) << args;
    }
}

TEST(ReportProgress, ShowsOnATerminalForMoreThanOneFileUnlessForced) {
    EXPECT_TRUE(ProgressWanted(std::nullopt, true, 2));
    EXPECT_FALSE(ProgressWanted(std::nullopt, true, 1));
    EXPECT_FALSE(ProgressWanted(std::nullopt, false, 1000));
    EXPECT_TRUE(ProgressWanted(true, false, 1));
    EXPECT_FALSE(ProgressWanted(false, true, 1000));
}

TEST(ReportProgress, RedrawsAtMostTenTimesASecondAndClearsItsLineForOtherText) {
    std::ostringstream err;
    {
        Progress progress(err, true, 4);
        const auto start = Progress::Clock::now();
        progress.Done(start);
        progress.Done(start + std::chrono::milliseconds(50));  // too soon: not drawn
        progress.Write("a message\n");
        progress.Done(start + std::chrono::milliseconds(150));
        progress.Done(start + std::chrono::milliseconds(300));
    }
    const std::string shown = err.str();
    EXPECT_EQ(shown.rfind("\r[", 0), 0U);
    EXPECT_NE(shown.find("] 1/4 files"), std::string::npos);
    // The second file came too soon for a redraw of its own; the message brings the line back.
    EXPECT_GT(shown.find("] 2/4 files"), shown.find("\r\x1b[Ka message\n\r["));
    const auto line = [&](const std::string& count) {
        const auto at = shown.find("] " + count + " files");
        return at == std::string::npos ? "" : shown.substr(at, shown.find('\x1b', at) - at);
    };
    EXPECT_NE(line("3/4").find(" files/s  00:00:00 left"), std::string::npos);
    EXPECT_NE(line("4/4"), "");
    EXPECT_EQ(line("4/4").find("left"), std::string::npos);  // nothing left when all are done
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K");
    std::ostringstream quiet;
    Progress(quiet, false, 4).Done();
    EXPECT_EQ(quiet.str(), "");
}
