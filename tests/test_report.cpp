#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "report/mod_Report.h"
#include "support/Mp3Builder.h"

using namespace fixture;
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
    fs::create_directory(folder_ / "folder.mp3");
    const auto folder = Report({"--json", (folder_ / "folder.mp3").string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "veltrane-report: cannot open " + (folder_ / "folder.mp3").string() +
                              ": Is a directory\n");
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
              "veltrane-report: no FILE given\nUsage: veltrane-report [--json] "
              "[--export-picture] FILE...\n");
    EXPECT_EQ(Report({"--frobnicate", "x.mp3"}).status, 2);
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
