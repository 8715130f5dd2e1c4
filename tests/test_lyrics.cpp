#include <gtest/gtest.h>

#include "display/mod_showMP3_Data.h"
#include "support/Harness.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"
#include "tags/mod_MP3_LyricsTAG.h"

using namespace veltrane;
using namespace fixture;

namespace {

const std::string kAudio = Fill(6000, '\x55');

struct Result {
    LyricsTag tag;
    std::vector<MemoryMessageBox::Message> messages;
};

Result Read(const std::string& bytes, LyricsTag tag = {}) {
    MemoryFileAccess files;
    MemoryMessageBox messages;
    files.Put("f.mp3", bytes);
    GetLyrics(files, messages, "f.mp3", tag);
    return {tag, messages.Messages()};
}

}  // namespace

TEST(GetLyrics, ReadsAVersion2TagInFrontOfId3v1) {
    const auto r =
        Read(kAudio + Lyrics3v2({{"IND", "10"}, {"LYR", "la la"}, {"AUT", "Me"}, {"ETT", "Song"}}) +
             Id3v1({}));
    EXPECT_TRUE(r.tag.Present);
    EXPECT_EQ(r.tag.Version, 2);
    EXPECT_EQ(r.tag.Lyrics, "la la");
    EXPECT_EQ(r.tag.Author, "Me");
    EXPECT_EQ(r.tag.Title, "Song");
    EXPECT_EQ(r.tag.Information, "");
    EXPECT_EQ(r.tag.Album, "");
    EXPECT_EQ(r.tag.Indication1, 0);
    EXPECT_TRUE(r.messages.empty());
}

TEST(GetLyrics, ReadsAVersion1TagAtTheVeryEndIntoInformation) {
    const auto r = Read(kAudio + Lyrics3v1("Hello\r\nWorld"));
    EXPECT_TRUE(r.tag.Present);
    EXPECT_EQ(r.tag.Version, 1);
    EXPECT_EQ(r.tag.Information, "Hello\r\nWorld");
}

TEST(GetLyrics, AcceptsALowerCaseEndMarkerButNoLowerCaseBegin) {
    std::string v1 = Lyrics3v1("text");
    v1.replace(v1.size() - 9, 9, "lyricsend");
    EXPECT_TRUE(Read(kAudio + v1).tag.Present);
    std::string lowBegin = Lyrics3v1("text");
    lowBegin.replace(0, 11, "lyricsbegin");
    EXPECT_FALSE(Read(kAudio + lowBegin).tag.Present);
}

TEST(GetLyrics, FindsATagOnlyWithinTheWindowInFrontOfTheMarker) {
    const std::string inside(5200 - 11, 'a');  // "LYRICSBEGIN" at the window's first byte
    EXPECT_TRUE(Read(kAudio + Lyrics3v1(inside)).tag.Present);
    const std::string outside(5200 - 10, 'a');  // begins one byte before the window
    EXPECT_FALSE(Read(kAudio + Lyrics3v1(outside)).tag.Present);
}

TEST(GetLyrics, NeverFindsATagInAFileShorterThanTheWindow) {
    // 5,209 bytes without ID3v1, 5,337 with: the window would start before the file.
    const std::string tag = Lyrics3v1("short");
    EXPECT_FALSE(Read(Fill(5208 - tag.size(), 'x') + tag).tag.Present);
    EXPECT_TRUE(Read(Fill(5209 - tag.size(), 'x') + tag).tag.Present);
    EXPECT_FALSE(Read(Fill(5336 - 128 - tag.size(), 'x') + tag + Id3v1({})).tag.Present);
    EXPECT_TRUE(Read(Fill(5337 - 128 - tag.size(), 'x') + tag + Id3v1({})).tag.Present);
}

TEST(GetLyrics, ReadsAMarkerlessTextLikeEndingAsVersion1) {
    // No end marker, but the last four bytes in front of ID3v1 are capitals.
    const auto r = Read(kAudio + "LYRICSBEGIN" + "my words" + "XXXXXABCD" + Id3v1({}));
    EXPECT_TRUE(r.tag.Present);
    EXPECT_EQ(r.tag.Version, 1);
    EXPECT_EQ(r.tag.Information, "my words");  // ends nine bytes before the ID3v1 tag
    // Lower-case letters are not text-like.
    EXPECT_FALSE(Read(kAudio + "LYRICSBEGIN" + "my words" + "xxxxxabcd").tag.Present);
}

TEST(GetLyrics, ReadsLengthsAsForgivingNumbers) {
    auto withField = [](const std::string& lengthAndContent) {
        return kAudio + "LYRICSBEGIN" + "LYR" + lengthAndContent + "000020" + "LYRICS200";
    };
    EXPECT_EQ(Read(withField("00000abc")).tag.Lyrics, "");
    EXPECT_EQ(Read(withField("00 03abcdef")).tag.Lyrics, "abc");
    EXPECT_EQ(Read(withField("002.5abcdef")).tag.Lyrics, "ab");  // a half goes to even
    // More than the text holds: up to the end of the text (the size field included).
    EXPECT_EQ(Read(withField("00099abc")).tag.Lyrics, "abc000020");
}

TEST(GetLyrics, ReportsANegativeLengthAndKeepsWhatWasSetBefore) {
    const auto r = Read(kAudio + "LYRICSBEGIN" + "AUT00002Me" + "INF-0001xyz" + "000020LYRICS200");
    ASSERT_EQ(r.messages.size(), 1U);
    EXPECT_EQ(r.messages[0].title, "GetLyrics");
    EXPECT_EQ(r.messages[0].icon, MessageIcon::None);
    EXPECT_TRUE(r.tag.Present);
    EXPECT_EQ(r.tag.Version, 2);
    EXPECT_EQ(r.tag.Information, "");  // INF is read before AUT and failed
    EXPECT_EQ(r.tag.Author, "");
}

TEST(GetLyrics, TakesEachIdentifierFromItsFirstOccurrenceAnywhere) {
    // "ETT" also occurs inside the lyrics, before the real field: the first occurrence wins.
    const auto r = Read(kAudio + Lyrics3v2({{"LYR", "xETT00003abc"}, {"ETT", "Real"}}) + Id3v1({}));
    EXPECT_EQ(r.tag.Title, "abc");
}

TEST(GetLyrics, LeavesTheRecordAloneWithoutATag) {
    LyricsTag earlier;
    earlier.Present = true;
    earlier.Version = 2;
    earlier.Lyrics = "old";
    const auto r = Read(kAudio, earlier);
    EXPECT_FALSE(r.tag.Present);
    EXPECT_EQ(r.tag.Version, 2);
    EXPECT_EQ(r.tag.Lyrics, "old");
}

TEST(ShowLyrics, JoinsTheSevenPiecesWithCrLf) {
    MemoryTextPane pane;
    LyricsTag tag;
    tag.Present = true;
    tag.Lyrics = "words";
    tag.Information = "info";
    tag.Author = "me";
    ShowLyrics(pane, tag);
    EXPECT_EQ(pane.Text(),
              "Author : me\r\nArtist : \r\nAlbum : \r\nTitle : \r\nImage : \r\n"
              "INFO : \r\ninfoLYRICS \r\nwords");
    tag.Present = false;
    ShowLyrics(pane, tag);
    EXPECT_EQ(pane.Text(), " NO LYRICS FOUND");
}

TEST(ShowLyrics, ShowsTheSecondFileOnlyAfterAVersion2File) {
    Harness h;
    h.Analyse("v2.mp3", kAudio + Lyrics3v2({{"LYR", "two"}, {"AUT", "Author2"}}) + Id3v1({}));
    h.Analyse("v1.mp3", kAudio + Lyrics3v1("one"));
    EXPECT_EQ(
        h.lyricsPane.Text(),
        "Author : \r\nArtist : \r\nAlbum : \r\nTitle : \r\nImage : \r\nINFO : \r\noneLYRICS \r\n");
}
