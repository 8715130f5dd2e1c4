#include <gtest/gtest.h>

#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

std::string EveryTag() {
    return Id3v2(3, Frame23("TIT2", Text("Title")) + Fill(64)) + MpegFrame() + MpegFrame() +
           Fill(5300, '\x55') + Lyrics3v2({{"LYR", "words"}}) +
           Id3v1({"Title", "Artist", "Album", "2001", "", 3, 13});
}

}  // namespace

TEST(AnalysisDriver, FillsEveryPaneAndOpensTheFileOncePerReader) {
    Harness h;
    h.files.Put("C:\\Music\\all.mp3", EveryTag());
    h.state.sActualPath = "C:\\Music";
    AnalyseListedFile(h.state, "all.mp3", h.panes, h.services);
    EXPECT_EQ(h.state.sActualFile, "C:\\Music\\all.mp3");
    EXPECT_EQ(h.files.OpensMade(), 5);
    EXPECT_EQ(h.files.OpenHandles(), 0);
    EXPECT_EQ(h.window.SuspendDepth(), 0);
    EXPECT_TRUE(h.state.Presence.HasID3v2 && h.state.Presence.HasID3v1 &&
                h.state.Presence.HasLyrics3);
    EXPECT_EQ(h.mpegPane.CellText(1, 1), "90    (0x5A)");
    EXPECT_EQ(h.id3v2Pane.CellText(1, 2), "Title");
    EXPECT_EQ(h.id3v1Pane.CellText(6, 1), "Pop");
    EXPECT_NE(h.lyricsPane.Text().find("words"), std::string::npos);
    EXPECT_TRUE(h.messages.Messages().empty());
}

TEST(AnalysisDriver, BuildsTheRootPathFromTheBareDriveDesignation) {
    Harness h;
    h.state.sActualPath = "C:";
    AnalyseListedFile(h.state, "a.mp3", h.panes, h.services);
    EXPECT_EQ(h.state.sActualFile, "C:\\a.mp3");
}

TEST(AnalysisDriver, ShowsNotFoundEverywhereForAFileDeletedAfterListing) {
    Harness h;
    h.Analyse("gone.mp3", EveryTag());
    h.files.Remove("gone.mp3");
    h.Analyse("gone.mp3");
    EXPECT_EQ(Dump(h.mpegPane, 2), "FILE\tHAS 0 BYTE SIZE\n");
    EXPECT_EQ(Dump(h.id3v2Pane, 3), "NO\tNO\tID3 INFORMATION FOUND\n");
    EXPECT_EQ(Dump(h.id3v1Pane, 2), "NO\tTAG FOUND\n");
    EXPECT_EQ(h.lyricsPane.Text(), " NO LYRICS FOUND");
    EXPECT_TRUE(h.messages.Messages().empty());
}

TEST(AnalysisDriver, GivesTheSamePanesForTheSameFileTwice) {
    Harness h;
    h.Analyse("a.mp3", EveryTag());
    const auto first =
        Dump(h.mpegPane, 2) + Dump(h.id3v2Pane, 3) + Dump(h.id3v1Pane, 2) + h.lyricsPane.Text();
    h.Analyse("a.mp3");
    EXPECT_EQ(
        Dump(h.mpegPane, 2) + Dump(h.id3v2Pane, 3) + Dump(h.id3v1Pane, 2) + h.lyricsPane.Text(),
        first);
}

TEST(AnalysisDriver, ShowsNoTagForAFileWithoutTags) {
    Harness h;
    h.Analyse("plain.mp3", MpegFrame() + MpegFrame());
    EXPECT_EQ(Dump(h.id3v1Pane, 2), "NO\tTAG FOUND\n");
    EXPECT_EQ(h.lyricsPane.Text(), " NO LYRICS FOUND");
}
