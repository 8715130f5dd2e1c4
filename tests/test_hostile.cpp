// Files built to break a reader: cut short, failing reads, lying sizes, things that are not
// files, names the drive form cannot express. Every case ends in a documented state.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "browse/mod_Directory.h"
#include "common/mod__HelperFunctions.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "support/Harness.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

namespace {

const std::string kPng = Bytes({0x89, 'P', 'N', 'G'}) + "png body";

// A file with every kind of tag, a picture included.
std::string EveryTag() {
    return Id3v2(3, Frame23("TIT2", Text("Title")) + CompressedFrame23("TXXX", Text("a\0b")) +
                        Frame23("PCNT", BigEndian(258, 4)) +
                        Frame23("APIC", ApicData("image/png", "d", kPng)) + Fill(32)) +
           MpegFrame() + MpegFrame() + Fill(5300, '\x55') + Lyrics3v2({{"LYR", "words"}}) +
           Id3v1({"Title", "Artist", "Album", "2001", "", 3, 13});
}

using Sweep = std::function<void(MemoryFileAccess&, MemoryMessageBox&)>;

// Runs a reader on every cut of the fixture and with each of its reads failing in turn.
void SweepReader(const std::string& good, const Sweep& run) {
    for (std::size_t cut = 0; cut <= good.size(); ++cut) {
        MemoryFileAccess files;
        MemoryMessageBox messages;
        files.Put("f.mp3", good.substr(0, cut));
        run(files, messages);
        ASSERT_EQ(files.OpenHandles(), 0) << "cut at " << cut;
    }
    MemoryFileAccess counting;
    MemoryMessageBox ignored;
    counting.Put("f.mp3", good);
    run(counting, ignored);
    for (long failing = 0; failing < counting.ReadsMade(); ++failing) {
        MemoryFileAccess files;
        MemoryMessageBox messages;
        files.Put("f.mp3", good);
        files.FailRead(failing);
        run(files, messages);
        ASSERT_EQ(files.OpenHandles(), 0) << "read " << failing << " failing";
    }
}

fs::path MakeTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "veltrane-hostile-XXXXXX").string();
    return ::mkdtemp(pattern.data());
}

class HostFiles : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(root_); }
    fs::path Write(const std::string& name, const std::string& bytes) {
        std::ofstream(root_ / name, std::ios::binary) << bytes;
        return root_ / name;
    }
    // Analyses C:\name with C: standing for the temporary folder.
    void Analyse(const std::string& name) {
        state.sActualPath = "C:";
        AnalyseListedFile(state, name, panes, services);
    }
    fs::path root_ = MakeTempFolder();
    HostFileAccess files_{[this] {
        DriveRoots roots;
        roots.Set('C', root_.string());
        return roots;
    }()};
    MemoryMessageBox messages;
    MemoryWindowOps window;
    MemoryListPane id3v2Pane, id3v1Pane, mpegPane;
    MemoryTextPane lyricsPane;
    AnalysisState state;
    ResultPanes panes{id3v2Pane, id3v1Pane, mpegPane, lyricsPane};
    Services services{files_, messages, window};

    void ExpectNotFoundPanes() {
        EXPECT_EQ(Dump(mpegPane, 2), "FILE\tHAS 0 BYTE SIZE\n");
        EXPECT_EQ(Dump(id3v2Pane, 3), "NO\tNO\tID3 INFORMATION FOUND\n");
        EXPECT_EQ(Dump(id3v1Pane, 2), "NO\tTAG FOUND\n");
        EXPECT_EQ(lyricsPane.Text(), " NO LYRICS FOUND");
        EXPECT_TRUE(messages.Messages().empty());
    }
};

}  // namespace

TEST(FaultSweep, CheckForTagEndsWithAConsistentRecord) {
    SweepReader(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox&) {
        TagPresence p;
        CheckForTag(files, "f.mp3", p);
        EXPECT_EQ(p.HasLyrics3, p.Lyrics3EndFound);
        EXPECT_TRUE(p.HasID3v2 || p.ID3v2Version == 0);
        EXPECT_TRUE(p.HasLyrics3 || p.Lyrics3Version == 0);
    });
}

TEST(FaultSweep, BinHeaderKeepsTheSizeAndRaisesNoMessage) {
    SweepReader(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox&) {
        MpegHeaderInfo info;
        const bool found = BinHeader(files, "f.mp3", info);
        EXPECT_EQ(info.FileSize, files.Get("f.mp3")->size());
        EXPECT_TRUE(found || info.Bitrate == 0);
        EXPECT_TRUE(!found || info.HeaderOffset < info.FileSize);
    });
}

TEST(FaultSweep, ReadId3v2EndsWithFramesOrItsOneMessage) {
    SweepReader(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox& messages) {
        Id3v2TagHeader header;
        std::vector<Id3v2Frame> frames;
        ReadId3v2(files, messages, "f.mp3", header, frames);
        ASSERT_LE(messages.Messages().size(), 1U);
        if (!messages.Messages().empty()) {
            EXPECT_EQ(messages.Messages()[0].title, "ReadID3-SF");
            EXPECT_EQ(header.FramesRead, 0);
        }
        EXPECT_LE(static_cast<std::size_t>(header.FramesRead), frames.size());
    });
}

TEST(FaultSweep, ReadID1FindsATagOnlyWhereTheBlockBeginsWithTheMarker) {
    SweepReader(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox&) {
        Id3v1Tag tag;
        const std::string& bytes = *files.Get("f.mp3");
        if (ReadID1(files, "f.mp3", tag)) {
            ASSERT_GE(bytes.size(), 128U);
            EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
        }
    });
}

TEST(FaultSweep, GetLyricsEndsWithATagOrItsOneMessage) {
    SweepReader(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox& messages) {
        LyricsTag tag;
        GetLyrics(files, messages, "f.mp3", tag);
        ASSERT_LE(messages.Messages().size(), 1U);
        for (const auto& m : messages.Messages()) {
            EXPECT_EQ(m.title, "GetLyrics");
        }
    });
}

TEST(FaultSweep, ExportPictureEndsWithAResultAndAtMostOneMessage) {
    const std::string good = EveryTag();
    Harness reference;
    reference.Analyse("f.mp3", good);
    SweepReader(good, [&](MemoryFileAccess& files, MemoryMessageBox& messages) {
        std::string name;
        const int result = ExportPicture(files, messages, "f.mp3", reference.state.Id3v2Header,
                                         reference.state.Id3v2Frames, "out", name);
        EXPECT_GE(result, -1);
        EXPECT_LE(result, 1);
        EXPECT_LE(messages.Messages().size(), 1U);
        if (result == 1 && name == "out/image.png") {
            // A file cut inside the picture gives the picture up to the end of the file.
            const std::string& written = *files.Get(name);
            EXPECT_EQ(kPng.substr(0, written.size()), written);
        }
    });
}

TEST_F(HostFiles, ShowsNotFoundForThingsThatAreNoRegularFile) {
    fs::create_directory(root_ / "folder.mp3");
    ASSERT_EQ(::mkfifo((root_ / "fifo.mp3").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", root_ / "device.mp3");
    for (const char* name : {"folder.mp3", "fifo.mp3", "device.mp3", "missing.mp3"}) {
        Analyse(name);
        ExpectNotFoundPanes();
    }
}

TEST_F(HostFiles, ShowsTheEmptyFileAsOfZeroSize) {
    Write("empty.mp3", "");
    Analyse("empty.mp3");
    ExpectNotFoundPanes();
}

TEST_F(HostFiles, ReadsATagWhoseSizePointsFarPastTheEndOfASmallFile) {
    Write("liar.mp3",
          Id3v2(3, Frame23("TIT2", Text("Small")), 0, Bytes({238, 53, 74, 0})) + MpegFrame());
    Analyse("liar.mp3");
    EXPECT_EQ(Dump(id3v2Pane, 3), "\t    ID3 Version\t3\nTIT2\tTitle\tSmall\n");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(HostFiles, AnalysesASparse3GiBFileLikeAnyOther) {
    const auto path = Write("huge.mp3", Id3v2(3, Frame23("TIT2", Text("Huge"))) + MpegHeader());
    const std::int64_t size = 3LL * 1024 * 1024 * 1024;
    fs::resize_file(path, static_cast<std::uintmax_t>(size));
    Analyse("huge.mp3");
    EXPECT_EQ(mpegPane.CellText(0, 1), std::to_string(size));
    const std::int64_t offset = 10 + 15;
    EXPECT_EQ(mpegPane.CellText(2, 1), FormatDuration((size - offset - 1) * 8 / 128000));
    EXPECT_EQ(id3v2Pane.CellText(1, 2), "Huge");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(HostFiles, ShowsNotFoundForAFileDeletedBetweenListingAndClick) {
    Write("gone.mp3", EveryTag());
    HostFolderAccess folders({{'C', root_.string(), kDriveFixed}});
    MemoryListPane list;
    ListFiles(folders, "C:", "*.mp3", list);
    ASSERT_EQ(list.RowCount(), 1);
    fs::remove(root_ / "gone.mp3");
    Analyse(list.CellText(0, 0));
    ExpectNotFoundPanes();
}

// A host name may hold any byte but "/" and NUL; the drive form separates folders with "\".
TEST_F(HostFiles, ListsAwkwardNamesAndNeverOpensTheWrongFile) {
    const std::string invalidUtf8 = "bad\xFF\xFE.mp3";
    for (const std::string& name :
         {std::string("with space.mp3"), std::string("it's \"quoted\".mp3"), invalidUtf8,
          std::string("a\\b.mp3")}) {
        Write(name, MpegFrame() + Id3v1({name.substr(0, 20), "", "", "", "", 1, 0}));
    }
    // The file a backslash name would reach if "\" were taken as a separator.
    fs::create_directory(root_ / "a");
    std::ofstream(root_ / "a" / "b.mp3", std::ios::binary)
        << MpegFrame() + Id3v1({"WRONG FILE", "", "", "", "", 1, 0});

    HostFolderAccess folders({{'C', root_.string(), kDriveFixed}});
    MemoryListPane list;
    ListFiles(folders, "C:", "*.mp3", list);
    std::vector<std::string> names;
    for (int r = 0; r < list.RowCount(); ++r) {
        names.push_back(list.CellText(r, 0));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a/b.mp3", invalidUtf8, "it's \"quoted\".mp3",
                                               "with space.mp3"}));
    for (const auto& name : names) {
        messages.Clear();
        Analyse(name);
        if (name == "a/b.mp3") {
            ExpectNotFoundPanes();
        } else {
            EXPECT_EQ(id3v1Pane.CellText(4, 1), name.substr(0, 20)) << name;
        }
    }
}

TEST_F(HostFiles, NeverChangesTheAnalysedFile) {
    const auto path = Write("keep.mp3", EveryTag());
    const auto before = fs::last_write_time(path);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    const auto mtime = info.st_mtim;
    Analyse("keep.mp3");
    std::string written;
    EXPECT_EQ(PictureRowClick(state, "APIC", services, root_.string(), true, written), 1);
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), EveryTag());
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, mtime.tv_sec);
    EXPECT_EQ(info.st_mtim.tv_nsec, mtime.tv_nsec);
    EXPECT_EQ(fs::last_write_time(path), before);
    EXPECT_EQ(window.Opened(), (std::vector<std::string>{(root_ / "image.png").string()}));
}

// Every input the fuzzer once broke the analysis with, through the whole analysis again.
TEST(FuzzRegressions, RunThroughTheWholeAnalysis) {
    const fs::path folder = fs::path(VELTRANE_SOURCE_DIR) / "tests" / "fuzz" / "regressions";
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".md") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        Harness h;
        h.Analyse("C:\\f.mp3", std::string(std::istreambuf_iterator<char>(in), {}));
        std::string written;
        PictureRowClick(h.state, "APIC", h.services, "out", true, written);
        EXPECT_EQ(h.files.OpenHandles(), 0) << entry.path();
    }
}
