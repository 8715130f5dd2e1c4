#include <gtest/gtest.h>

#include "display/mod_showMP3_Data.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "support/Harness.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"
#include "tags/mod_MP3ID1_TAG.h"

using namespace veltrane;
using namespace fixture;

namespace {

Id3v1Tag Read(const std::string& bytes, Id3v1Tag tag = {}) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    ReadID1(files, "f.mp3", tag);
    return tag;
}

std::string TitleBlock(const std::string& title) {
    std::string block = Id3v1({});
    block.replace(3, 30, title + std::string(30 - title.size(), '\0'));
    return block;
}

}  // namespace

TEST(ReadID1, ReadsEveryFieldOfATagAtTheEnd) {
    const auto tag =
        Read(Fill(500, '\x55') + Id3v1({"Title", "Artist", "Album", "1999", "Comment", 7, 17}));
    EXPECT_TRUE(tag.Present);
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Album, "Album");
    EXPECT_EQ(tag.Year, "1999");
    EXPECT_EQ(tag.Comment, "Comment");
    EXPECT_EQ(tag.Track, 7);
    EXPECT_EQ(tag.Genre, 17);
}

TEST(ReadID1, ReadsAFileThatIsOnlyATag) {
    EXPECT_TRUE(Read(Id3v1({"T", "", "", "", "", std::nullopt, 0})).Present);
}

TEST(ReadID1, TrimsSpacesBeforeCuttingAtNul) {
    EXPECT_EQ(Read(TitleBlock("abc" + std::string(27, ' '))).Title, "abc");
    EXPECT_EQ(Read(TitleBlock("abc")).Title, "abc");
    EXPECT_EQ(Read(TitleBlock(" abc")).Title, "abc");
    // The space in front of the NUL fill stays: spaces are trimmed before the cut.
    EXPECT_EQ(Read(TitleBlock("abc ")).Title, "abc ");
    // Spaces after the NUL fill go with it.
    EXPECT_EQ(Read(TitleBlock(std::string("abc\0\0  ", 7))).Title, "abc");
}

TEST(ReadID1, TakesTheTrackFromByte126WhetherOrNotByte125IsZero) {
    const auto v11 = Read(Id3v1({"", "", "", "", "short", 7, 0}));
    EXPECT_EQ(v11.Comment, "short");
    EXPECT_EQ(v11.Track, 7);
    const std::string full(30, 'x');
    const auto v10 = Read(Id3v1({"", "", "", "", full + "y", std::nullopt, 0}));
    EXPECT_EQ(v10.Comment, full);
    EXPECT_EQ(v10.Track, 'x');
    EXPECT_EQ(Read(Id3v1({"", "", "", "", "", 255, 0})).Track, 255);
}

TEST(ReadID1, AYearOfNulBytesIsEmpty) {
    EXPECT_EQ(Read(Id3v1({"t", "a", "b", std::string(4, '\0'), "", 1, 0})).Year, "");
}

TEST(ReadID1, FindsNoTagAndKeepsTheOtherFieldsWithoutAMarkerAtTheFirstByte) {
    Id3v1Tag earlier;
    earlier.Present = true;
    earlier.Title = "earlier";
    earlier.Genre = 9;
    EXPECT_FALSE(Read(Fill(127, 'x'), earlier).Present);  // shorter than 128 bytes
    const auto noTag = Read(Fill(400, 'x'), earlier);
    EXPECT_FALSE(noTag.Present);
    EXPECT_EQ(noTag.Title, "earlier");
    EXPECT_EQ(noTag.Genre, 9);

    std::string lower = Id3v1({"t", "", "", "", "", 1, 0});
    lower.replace(0, 3, "tag");
    EXPECT_FALSE(Read(lower).Present);
}

// "TAG" anywhere but at the block's first byte is no marker: audio data spells it by chance.
TEST(ReadID1, TreatsTagLettersInsideTheBlockAsNoTagWithoutAMessage) {
    Harness h;
    h.state.Id3v1.Title = "earlier";
    h.state.Id3v1.Track = 3;
    std::string tail = Fill(128, 'x');
    tail.replace(4, 3, "TAG");
    h.Analyse("f.mp3", Fill(1000, 'x') + tail);
    EXPECT_FALSE(h.state.Id3v1.Present);
    EXPECT_EQ(h.state.Id3v1.Title, "earlier");
    EXPECT_EQ(h.state.Id3v1.Track, 3);
    for (const auto& m : h.messages.Messages()) {
        EXPECT_NE(m.title, "ReadID1");
    }
    EXPECT_EQ(Dump(h.id3v1Pane, 2), "NO\tTAG FOUND\n");
}

TEST(ShowID1, ShowsSevenRowsWithTheGenreByName) {
    MemoryListPane pane;
    Id3v1Tag tag;
    tag.Present = true;
    tag.Artist = "Artist";
    tag.Track = 0;
    tag.Genre = 0;
    ShowID1(pane, tag);
    ShowID1(pane, tag);  // a second run replaces, never doubles
    EXPECT_EQ(Dump(pane, 2),
              "Artist\tArtist\nAlbum\t\nYear\t\nTrack\t0\nTitle\t\nComment\t\nGenre\tBlues\n");
}

TEST(ShowID1, ShowsTheNotFoundRowWhateverTheFieldsHold) {
    MemoryListPane pane;
    Id3v1Tag tag;
    tag.Title = "stale";
    ShowID1(pane, tag);
    EXPECT_EQ(Dump(pane, 2), "NO\tTAG FOUND\n");
}

TEST(GenreNames, EndsWithUnknownAndNamesPastTheEndWithBlanksOnBothSides) {
    EXPECT_EQ(GenreNames.size(), 149U);
    EXPECT_EQ(GenreNames[0], "Blues");
    EXPECT_EQ(GenreNames[67], "Phychedelic");
    EXPECT_EQ(GenreNames[147], "Synth Pop");
    EXPECT_EQ(GenreName(148), " unknown");
    EXPECT_EQ(GenreName(149), " unknown ");
    EXPECT_EQ(GenreName(255), " unknown ");
    for (const auto name : GenreNames) {
        EXPECT_EQ(name.find('|'), std::string_view::npos);
        EXPECT_FALSE(name.empty());
    }
}
