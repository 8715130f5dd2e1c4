// The whole analysis of one file: every reader and pane, from file to file, and every reader
// on every cut of a file and with each of its reads failing in turn.
#include <gtest/gtest.h>

#include "picture/mod_MP3ID3_Picture.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

const std::string kPng = Bytes({0x89, 'P', 'N', 'G'}) + "png body";

// A file with every kind of tag, a compressed frame and a picture included; the first MPEG
// header lies past the scan's first block.
std::string EveryTag() {
    return Id3v2(3, Frame23("TIT2", Text("Title")) + CompressedFrame23("TXXX", Text("a\0b")) +
                        Frame23("PCNT", BigEndian(258, 4)) +
                        Frame23("APIC", ApicData("image/png", "d", kPng)) + Fill(32)) +
           Fill(4100, '\x11') + MpegFrame() + MpegFrame() + Fill(5300, '\x55') +
           Lyrics3v2({{"LYR", "words"}}) + Id3v1({"Title", "Artist", "Album", "2001", "", 3, 13});
}

using Reader = std::function<void(MemoryFileAccess&, MemoryMessageBox&)>;

// Runs a reader on every cut of the file and with each of its reads failing in turn; every run
// must close what it opened.
void Sweep(const std::string& good, const Reader& run) {
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
    ASSERT_GT(counting.ReadsMade(), 0);
    for (long failing = 0; failing < counting.ReadsMade(); ++failing) {
        MemoryFileAccess files;
        MemoryMessageBox messages;
        files.Put("f.mp3", good);
        files.FailRead(failing);
        run(files, messages);
        ASSERT_EQ(files.OpenHandles(), 0) << "read " << failing << " failing";
    }
}

}  // namespace

// Every pane filled, the file opened once a reader; then nothing of one file shows with the
// next: a file without tags, the first file deleted after it was listed, and a file in a
// drive's root like the first.
TEST(AnalysisDriver, ShowsEachFileOnItsOwnOpeningItOnceAReader) {
    Harness h;
    h.files.Put("C:\\Music\\all.mp3", EveryTag());
    h.state.sActualPath = "C:\\Music";
    AnalyseListedFile(h.state, "all.mp3", h.panes, h.services);
    EXPECT_EQ(h.files.OpensMade(), 5);
    EXPECT_EQ(h.files.OpenHandles() + h.window.SuspendDepth(), 0);
    EXPECT_TRUE(h.state.Presence.HasID3v2 && h.state.Presence.HasID3v1 &&
                h.state.Presence.HasLyrics3);
    EXPECT_EQ(h.mpegPane.CellText(1, 1), "4232    (0x1088)");
    EXPECT_EQ(Dump(h.id3v2Pane, 3),
              "\t    ID3 Version\t3\n"
              "APIC\tPicture\tAVAILLABLE (26) bytes,        click this line to view\n"
              "PCNT\tPlay counter\tFile has been played 258 times\n"
              "TIT2\tTitle\tTitle\n"
              "TXXX\tUser defined text information frame\ta\n");
    EXPECT_EQ(h.id3v1Pane.CellText(6, 1), "Pop");
    const std::string first = h.Panes();
    EXPECT_EQ(first.substr(first.size() - 5), "words");
    h.Analyse("plain.mp3", MpegFrame());
    EXPECT_EQ(h.Panes().substr(h.Panes().find("NO\tNO")),
              "NO\tNO\tID3 INFORMATION FOUND\nNO\tTAG FOUND\n NO LYRICS FOUND");
    h.files.Remove("C:\\Music\\all.mp3");
    AnalyseListedFile(h.state, "all.mp3", h.panes, h.services);
    EXPECT_EQ(h.Panes(), kNotFoundPanes);
    h.files.Put("C:\\a.mp3", EveryTag());
    h.state.sActualPath = "C:";
    AnalyseListedFile(h.state, "a.mp3", h.panes, h.services);
    EXPECT_EQ(h.state.sActualFile, "C:\\a.mp3");
    EXPECT_EQ(h.Panes(), first);
    EXPECT_TRUE(h.messages.Messages().empty());
}

TEST(AnalysisDriver, EndsEachStepThatRunsOutOfMemoryWithItsMessage) {
    Harness h;
    h.Analyse("a.mp3", EveryTag());
    ThrowingFileAccess exhausted([] { throw std::bad_alloc(); });
    Services services{exhausted, h.messages, h.window};
    AnalyseActualFile(h.state, h.panes, services);
    std::string titles;
    for (const auto& m : h.messages.Messages()) {
        EXPECT_EQ(m.text, "Out of memory");
        titles += m.title + " ";
    }
    EXPECT_EQ(titles, "BinHeader ReadID3nfo ReadID1 GetLyrics ");
    EXPECT_FALSE(h.state.Presence.HasID3v2);
    EXPECT_EQ(h.window.SuspendDepth(), 0);
}

TEST(FaultSweep, EveryReaderEndsInADocumentedState) {
    const std::string good = EveryTag();
    Sweep(good, [](MemoryFileAccess& files, MemoryMessageBox&) {
        TagPresence p;
        CheckForTag(files, "f.mp3", p);
        EXPECT_EQ(p.HasLyrics3, p.Lyrics3EndFound);
        EXPECT_TRUE(p.HasID3v2 || p.ID3v2Version == 0);
    });
    Sweep(good, [](MemoryFileAccess& files, MemoryMessageBox&) {
        MpegHeaderInfo info;
        const bool found = BinHeader(files, "f.mp3", info);
        EXPECT_EQ(info.FileSize, files.Get("f.mp3")->size());
        EXPECT_TRUE(found ? info.HeaderOffset < info.FileSize : info.Bitrate == 0);
    });
    Sweep(good, [](MemoryFileAccess& files, MemoryMessageBox& messages) {
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
    Sweep(good, [](MemoryFileAccess& files, MemoryMessageBox&) {
        Id3v1Tag tag;
        const std::string& bytes = *files.Get("f.mp3");
        if (ReadID1(files, "f.mp3", tag)) {
            ASSERT_GE(bytes.size(), 128U);
            EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
        }
    });
    Sweep(good, [](MemoryFileAccess& files, MemoryMessageBox& messages) {
        LyricsTag tag;
        GetLyrics(files, messages, "f.mp3", tag);
        EXPECT_TRUE(messages.Messages().empty());
    });
}

TEST(FaultSweep, ThePictureExportEndsWithAResultAndAtMostOneMessage) {
    const std::string good = EveryTag();
    Harness reference;
    reference.Analyse("f.mp3", good);
    Sweep(good, [&](MemoryFileAccess& files, MemoryMessageBox& messages) {
        std::string name;
        const int result = ExportPicture(files, messages, "f.mp3", reference.state.Id3v2Header,
                                         reference.state.Id3v2Frames, "out", name);
        EXPECT_TRUE(result == 1 || (result == -1 && messages.Messages().size() <= 1U));
        if (result == 1) {
            // A file cut inside the picture gives the picture up to the end of the file.
            const std::string& written = *files.Get(name);
            EXPECT_EQ(kPng.substr(0, written.size()), written);
        }
    });
}
