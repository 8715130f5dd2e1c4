#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "report/mod_Report.h"
#include "report/mod_ReportProgress.h"
#include "support/Mp3Builder.h"

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

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

Run Report(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = veltrane::RunReport(args, out, err);
    return {status, out.str(), err.str()};
}

class ReportTool : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "veltrane-report-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        cwd_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(cwd_);  // some cases run in the temporary folder
        fs::remove_all(folder_);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_ / name, std::ios::binary) << bytes;
        return (folder_ / name).string();
    }
    fs::path folder_;
    fs::path cwd_;
};

const std::string kV11 = MpegFrame(418, 0xFB, 0x90, 0x64) +
                         Id3v1({"Title \x80", "Artist", "Album", "2001", "Comment", 7, 17});

}  // namespace

TEST_F(ReportTool, PrintsTheFourPanesAsText) {
    const auto path = Write("v11.mp3", kV11);
    const auto run = Report({path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "== " + path + "\n" +
                           "[MPEG]\n"
                           "Filelength\t546\n"
                           "Header at\t0    (0x0)\n"
                           "Duration\t00:00:00\n"
                           "Bitrate\t128000\n"
                           "Samplerate\t44100\n"
                           "Framesize\t418\n"
                           "Num Frames\t1\n"
                           "VBR\tFalse\n"
                           "Layer\tMPEG 1 Layer 3\n"
                           "Emphasis\tno\n"
                           "Mode\tjoint stereo\n"
                           "Original\tTrue\n"
                           "Padding\tFalse\n"
                           "Private\tFalse\n"
                           "Protection\tTrue\n"
                           "Copyright\tFalse\n"
                           "[ID3v2]\n"
                           "NO\tNO\tID3 INFORMATION FOUND\n"
                           "[ID3v1]\n"
                           "Artist\tArtist\n"
                           "Album\tAlbum\n"
                           "Year\t2001\n"
                           "Track\t7\n"
                           "Title\tTitle \xE2\x82\xAC\n"
                           "Comment\tComment\n"
                           "Genre\tRock\n"
                           "[Lyrics]\n"
                           "   NO LYRICS FOUND\n");
}

// A title that clears the screen, and a name and tags that would forge sections: every control
// character shows as an escape, one row is one line, and the lyrics lines are indented.
TEST_F(ReportTool, ShowsControlCharactersInTextAsEscapesSoNothingForgesARow) {
    const auto path = Write("a\n[ID3v1]\x1b.mp3",
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
    EXPECT_TRUE(has("== " + (folder_ / "a\\n[ID3v1]\\x1b.mp3").string()));
    EXPECT_TRUE(has("Title\t\\x1b[2J\\\\t\\n[ID3v1]"));
    EXPECT_TRUE(has("Artist\tA\\tB\\x7f\\u0081"));
    EXPECT_TRUE(has("  x"));
    EXPECT_TRUE(has("  [ID3v1]"));
    EXPECT_TRUE(has("  Artist\\tmeLYRICS "));
}

TEST_F(ReportTool, PrintsOneJsonDocumentWithEveryCellDecoded) {
    const auto path = Write("v11.mp3", kV11);
    const auto run = Report({"--json", path, path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const Json document = Json::parse(run.out);
    ASSERT_EQ(document["files"].size(), 2U);
    const Json& file = document["files"][0];
    std::vector<std::string> keys;
    for (const auto& item : file.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"path", "mpeg", "id3v2", "id3v1", "lyrics",
                                              "messages", "presence", "picture"}));
    EXPECT_EQ(file["path"], path);
    EXPECT_EQ(file["mpeg"].size(), 16U);
    EXPECT_EQ(file["mpeg"][1], Json({{"item", "Header at"}, {"value", "0    (0x0)"}}));
    EXPECT_EQ(file["id3v2"], Json::parse(R"([{"tag": "NO", "text": "NO",
        "value": "ID3 INFORMATION FOUND", "blue": false}])"));
    EXPECT_EQ(file["id3v1"][4], Json({{"item", "Title"}, {"value", "Title \xE2\x82\xAC"}}));
    EXPECT_EQ(file["id3v1"][6], Json({{"item", "Genre"}, {"value", "Rock"}}));
    EXPECT_EQ(file["lyrics"], " NO LYRICS FOUND");
    EXPECT_EQ(file["messages"], Json::array());
    EXPECT_EQ(file["presence"], Json::parse(R"({"HasID3v1": true, "HasID3v2": false,
        "ID3v2Version": 0, "ID3v2Footer": false, "HasLyrics3": false, "Lyrics3EndFound": false,
        "Lyrics3Version": 0})"));
    EXPECT_TRUE(file["picture"].is_null());
    EXPECT_EQ(document["files"][1], file);
}

TEST_F(ReportTool, ShowsAFileWithoutTagsAsNoTagFound) {
    const auto path = Write("plain.mp3", MpegFrame());
    const Json file = Json::parse(Report({"--json", path}).out)["files"][0];
    EXPECT_EQ(file["id3v1"], Json::parse(R"([{"item": "NO", "value": "TAG FOUND"}])"));
}

TEST_F(ReportTool, KeepsTheJsonValidForNamesThatAreNoUtf8) {
    const auto path = Write("bad\xFF.mp3", kV11);
    const Json file = Json::parse(Report({"--json", path}).out)["files"][0];
    EXPECT_EQ(file["path"], (folder_ / "bad\xEF\xBF\xBD.mp3").string());  // U+FFFD
}

TEST_F(ReportTool, NamesAMissingFileAndStillPrintsItsPanes) {
    const auto good = Write("good.mp3", kV11);
    const auto missing = (folder_ / "missing.mp3").string();
    const auto run = Report({good, missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "veltrane-report: cannot open " + missing + ": No such file or directory\n");
    EXPECT_NE(run.out.find("== " + missing + "\n[MPEG]\nFILE\tHAS 0 BYTE SIZE\n"),
              std::string::npos);
    const auto fifo = (folder_ / "fifo.mp3").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const auto named = Report({"--json", fifo});
    EXPECT_EQ(named.status, 1);
    EXPECT_EQ(named.err, "veltrane-report: cannot open " + fifo + ": not a regular file\n");
}

TEST_F(ReportTool, SendsMessageBoxesToStandardErrorAndJson) {
    const auto path = Write("bad.mp3", Id3v2(3, Frame23("TLEN", Text("abc"))) + MpegFrame());
    const auto text = Report({path});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.err, "ReadID3dPAT: Type mismatch\n");
    const auto json = Report({"--json", path});
    EXPECT_EQ(json.err, "");
    EXPECT_EQ(Json::parse(json.out)["files"][0]["messages"],
              Json::parse(R"([{"title": "ReadID3dPAT", "text": "Type mismatch",
                              "icon": "critical"}])"));
}

TEST_F(ReportTool, RejectsUnknownOptionsAndMissingFiles) {
    const auto none = Report({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err,
              "veltrane-report: no PATH given\nUsage: veltrane-report [--json] "
              "[--export-picture] [-r] [-j N] [--summary] PATH...\n");
    for (const auto& wrong : std::vector<std::vector<std::string>>{{"--frobnicate", "x.mp3"},
                                                                   {"-j", "0", "x.mp3"},
                                                                   {"-jx", "x.mp3"},
                                                                   {"--jobs=2000", "x.mp3"},
                                                                   {"x.mp3", "-j"}}) {
        EXPECT_EQ(Report(wrong).status, 2) << wrong[0] << " " << wrong[1];
    }
    const auto help = Report({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: veltrane-report", 0), 0U);
    EXPECT_EQ(Report({"--version"}).out.rfind("veltrane-report ", 0), 0U);
}

TEST_F(ReportTool, TakesAFileNamedLikeAnOptionAfterTheDoubleDash) {
    Write("-x.mp3", kV11);
    fs::current_path(folder_);
    const auto run = Report({"--", "-x.mp3"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Genre\tRock"), std::string::npos);
}

TEST_F(ReportTool, ExportsThePictureIntoTheWorkingFolderOnRequest) {
    const std::string png = "\x89PNG picture";
    const auto path =
        Write("cover.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", png))) + MpegFrame());
    const auto plain = Write("plain.mp3", MpegFrame());
    fs::current_path(folder_);
    const auto run = Report({"--json", "--export-picture", path, plain});
    EXPECT_EQ(run.status, 0);
    const Json document = Json::parse(run.out);
    EXPECT_EQ(document["files"][0]["picture"], Json({{"result", 1}, {"file", "./image.png"}}));
    EXPECT_TRUE(document["files"][1]["picture"].is_null());
    std::ifstream in(folder_ / "image.png", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), png);

    const auto text = Report({"--export-picture", path});
    EXPECT_NE(text.out.find("[Picture]\n1\t./image.png\n"), std::string::npos);
}

TEST_F(ReportTool, AddsTheExportsMessagesAfterTheAnalysis) {
    const auto path =
        Write("locked.mp3",
              Id3v2(3, Frame23("TLEN", Text("x")) +
                           Frame23("APIC", ApicData("image/png", "", "\x89PNG", 0), 0, 0x40)) +
                  MpegFrame());
    fs::current_path(folder_);
    const auto run = Report({"--export-picture", path});
    EXPECT_EQ(run.err, "ReadID3dPAT: Type mismatch\nGetPicture: cannot handle encryption\n");
    EXPECT_NE(run.out.find("[Picture]\n-1\t\n"), std::string::npos);
    const Json file = Json::parse(Report({"--json", "--export-picture", path}).out)["files"][0];
    EXPECT_EQ(file["messages"].size(), 2U);
    EXPECT_EQ(file["messages"][1]["title"], "GetPicture");
    EXPECT_EQ(file["picture"], Json({{"result", -1}, {"file", ""}}));
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
    for (const auto* file : {"b.mp3", "A.MP3", "c.txt", ".h.mp3", "z/1.mp3", "Y/2.mp3",
                             "Y/deep/3.mp3", ".hidden/4.mp3"}) {
        std::ofstream(lib / file, std::ios::binary) << MpegFrame();
    }
    fs::create_symlink(lib / "Y" / "2.mp3", lib / "link.mp3");
    fs::create_symlink(lib, lib / "loop");
    ASSERT_EQ(::mkfifo((lib / "fifo.mp3").c_str(), 0644), 0);

    const auto flat = Report({"--json", lib.string()});
    EXPECT_EQ(flat.status, 0);
    EXPECT_EQ(PathsIn(flat.out, lib),
              (std::vector<std::string>{".h.mp3", "A.MP3", "b.mp3", "link.mp3"}));
    const auto deep = Report({"--json", "-r", lib.string(), (lib / "b.mp3").string()});
    EXPECT_EQ(PathsIn(deep.out, lib),
              (std::vector<std::string>{".h.mp3", "A.MP3", "b.mp3", "link.mp3", "Y/2.mp3",
                                        "Y/deep/3.mp3", "z/1.mp3", "b.mp3"}));
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
    const auto run =
        Report({"--json", "--summary", folder_.string(), (folder_ / "missing.mp3").string()});
    EXPECT_EQ(run.status, 1);
    const Json summary = Json::parse(run.out)["summary"];
    EXPECT_EQ(summary, Json::parse(R"({"analysed": 7, "notOpened": 1, "withID3v1": 2,
        "withID3v2": {"2": 1, "3": 1, "4": 1, "other": 1}, "withLyrics3": {"1": 0, "2": 1},
        "withPicture": 1, "withXing": 1, "messages": {"ReadID3dPAT": 1},
        "playingTime": "00:00:00"})"));
    const auto text = Report({"--summary", (folder_ / "c-v23.mp3").string()});
    EXPECT_NE(text.out.find("[Summary]\nFiles analysed\t1\nFiles not opened\t0\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("Messages ReadID3dPAT\t1\nPlaying time\t00:00:00\n"),
              std::string::npos);
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
    }
    const std::string shown = err.str();
    EXPECT_EQ(shown.rfind("\r[", 0), 0U);
    EXPECT_NE(shown.find("] 1/4 files"), std::string::npos);
    // The second file came too soon for a redraw of its own; the message brings the line back.
    EXPECT_GT(shown.find("] 2/4 files"), shown.find("\r\x1b[Ka message\n\r["));
    EXPECT_NE(shown.find("] 3/4 files"), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K");
    std::ostringstream quiet;
    Progress(quiet, false, 4).Done();
    EXPECT_EQ(quiet.str(), "");
}
