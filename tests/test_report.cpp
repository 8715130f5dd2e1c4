#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/mod_Report.h"
#include "support/Mp3Builder.h"

using namespace fixture;
namespace fs = std::filesystem;

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
                           " NO LYRICS FOUND\n");
}

TEST_F(ReportTool, PrintsOneJsonDocumentWithEveryCellDecoded) {
    const auto path = Write("v11.mp3", kV11);
    const auto run = Report({"--json", path});
    EXPECT_EQ(run.status, 0);
    const std::string expectedStart =
        "{\n  \"files\": [\n    {\n      \"path\": \"" + path + "\",\n";
    EXPECT_EQ(run.out.substr(0, expectedStart.size()), expectedStart);
    EXPECT_NE(run.out.find("\"item\": \"Title\",\n          \"value\": \"Title \xE2\x82\xAC\""),
              std::string::npos);
    EXPECT_NE(
        run.out.find("\"id3v2\": [\n        {\n          \"tag\": \"NO\",\n          \"text\": "
                     "\"NO\",\n          \"value\": \"ID3 INFORMATION FOUND\",\n          "
                     "\"blue\": false\n        }\n      ]"),
        std::string::npos);
    EXPECT_NE(run.out.find("\"lyrics\": \" NO LYRICS FOUND\",\n      \"messages\": [],\n      "
                           "\"presence\": {\n        \"HasID3v1\": true,"),
              std::string::npos);
}

TEST_F(ReportTool, ShowsAFileWithoutTagsAsNoTagFound) {
    const auto path = Write("plain.mp3", MpegFrame());
    const auto run = Report({"--json", path});
    EXPECT_NE(run.out.find("\"item\": \"NO\",\n          \"value\": \"TAG FOUND\""),
              std::string::npos);
}

TEST_F(ReportTool, NamesAMissingFileAndStillPrintsItsPanes) {
    const auto good = Write("good.mp3", kV11);
    const auto missing = (folder_ / "missing.mp3").string();
    const auto run = Report({good, missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "veltrane-report: cannot open " + missing + ": No such file or directory\n");
    EXPECT_NE(run.out.find("== " + missing + "\n[MPEG]\nFILE\tHAS 0 BYTE SIZE\n"),
              std::string::npos);
}

TEST_F(ReportTool, SendsMessageBoxesToStandardErrorAndJson) {
    const auto path = Write("bad.mp3", Id3v2(3, Frame23("TLEN", Text("abc"))) + MpegFrame());
    const auto text = Report({path});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.err, "ReadID3dPAT: Type mismatch\n");
    const auto json = Report({"--json", path});
    EXPECT_NE(
        json.out.find("\"messages\": [\n        {\n          \"title\": \"ReadID3dPAT\",\n"
                      "          \"text\": \"Type mismatch\",\n          \"icon\": \"critical\""),
        std::string::npos);
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
    const auto path = Write("-x.mp3", kV11);
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
    EXPECT_NE(
        run.out.find("\"picture\": {\n        \"result\": 1,\n        \"file\": \"./image.png\"\n"),
        std::string::npos);
    EXPECT_NE(run.out.find("\"picture\": null"), std::string::npos);
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
}
