// The tags at the end of a file (ID3v1, Lyrics3) and the presence check over both ends.
#include <gtest/gtest.h>

#include "display/mod_showMP3_Data.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"
#include "tags/mod_MP3ID1_TAG.h"
#include "tags/mod_MP3_CheckForTag.h"
#include "tags/mod_MP3_LyricsTAG.h"

using namespace veltrane;
using namespace fixture;

namespace {

const std::string kAudio(6000, '\x55');

Id3v1Tag ReadV1(const std::string& bytes, Id3v1Tag tag = {}) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    ReadID1(files, "f.mp3", tag);
    return tag;
}

TagPresence Check(const std::string& bytes) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    TagPresence presence;
    CheckForTag(files, "f.mp3", presence);
    return presence;
}

struct Lyrics {
    LyricsTag tag;
    std::vector<MemoryMessageBox::Message> messages;
    long reads = 0;
};

Lyrics ReadLyrics(const std::string& bytes, LyricsTag tag = {}) {
    MemoryFileAccess files;
    MemoryMessageBox messages;
    files.Put("f.mp3", bytes);
    GetLyrics(files, messages, "f.mp3", tag);
    return {tag, messages.Messages(), files.reads};
}

}  // namespace

// Version 1.0 has a 30-byte comment whose last byte still counts as the track. Spaces go from
// both ends before the text is cut at its first NUL.
TEST(ReadID1, TakesTheTrackFromByte126AndTrimsSpacesBeforeCuttingAtNul) {
    const auto v10 = ReadV1(Id3v1({"", "", "", "", std::string(31, 'x'), std::nullopt, 0}));
    EXPECT_EQ(v10.Comment, std::string(30, 'x'));
    EXPECT_EQ(v10.Track, 'x');
    EXPECT_EQ(ReadV1(Id3v1({"", "", "", "", "", 255, 0})).Track, 255);
    const std::pair<std::string, std::string> titles[] = {
        {"abc" + std::string(27, ' '), "abc"},
        {" abc", "abc"},
        {"abc ", "abc "},                      // the space in front of the NUL fill stays
        {std::string("abc\0\0  ", 7), "abc"},  // spaces after the NUL fill go with it
    };
    for (const auto& [title, shown] : titles) {
        std::string block = Id3v1({});
        block.replace(3, title.size(), title);
        EXPECT_EQ(ReadV1(block).Title, shown) << title;
    }
}

// The end marker stands in front of an ID3v1 tag, or at the very end without one.
TEST(CheckForTag, FindsId3v1AndTheLyricsEndMarkerWhereItBelongs) {
    std::string markerInTag = Id3v1({});
    markerInTag.replace(119, 9, "LYRICSEND");
    const std::tuple<const char*, std::string, bool, int> cases[] = {
        {"LYRICS200 before ID3v1", kAudio + "LYRICS200" + Id3v1({}), true, 2},
        {"LYRICSEND before ID3v1", kAudio + "LYRICSEND" + Id3v1({}), true, 1},
        {"LYRICSEND at the end", kAudio + "LYRICSEND", false, 1},
        {"LYRICS200 at the end", kAudio + "LYRICS200", false, 2},
        {"lower case", kAudio + "lyricsend", false, 0},
        {"inside the ID3v1 tag", kAudio + markerInTag, true, 0},
        {"no tag", kAudio + "tag" + std::string(125, '\0'), false, 0},
        // Shorter than the 137-byte end block: the block holds nothing.
        {"136 bytes", std::string(8, '\0') + Id3v1({}), false, 0},
        {"137 bytes", "LYRICSEND" + Id3v1({}), true, 1},
    };
    for (const auto& [what, file, id3v1, lyrics] : cases) {
        const auto p = Check(file);
        EXPECT_EQ(p.HasID3v1, id3v1) << what;
        EXPECT_EQ(p.Lyrics3Version, lyrics) << what;
        EXPECT_EQ(p.HasLyrics3, lyrics != 0) << what;
        EXPECT_EQ(p.Lyrics3EndFound, lyrics != 0) << what;
    }
}

TEST(GetLyrics, ReadsVersion1IntoInformationWithOrWithoutItsEndMarker) {
    EXPECT_EQ(ReadLyrics(kAudio + Lyrics3v1("Hello\r\nWorld")).tag.Information, "Hello\r\nWorld");
    // No end marker, but three or four of the last four bytes in front of ID3v1 are text-like:
    // the text ends nine bytes before the ID3v1 tag.
    for (const std::string& ending :
         {std::string("XXXXXABCD"), std::string("XXXXXa;D)"), std::string("XXXXX.\0 !", 9)}) {
        const auto r = ReadLyrics(kAudio + "LYRICSBEGIN" + "my words" + ending + Id3v1({}));
        EXPECT_EQ(r.tag.Information, "my words") << ending;
    }
    for (const std::string& ending : {std::string("xxxxxabcd"), std::string("XXXXX\0\0CD", 9)}) {
        EXPECT_FALSE(ReadLyrics(kAudio + "LYRICSBEGIN" + "my words" + ending).tag.Present);
    }
}

TEST(GetLyrics, ReadsFieldLengthsAsForgivingNumbersFromTheFirstOccurrence) {
    const auto lyrics = [](const std::string& field) {
        return ReadLyrics(kAudio + "LYRICSBEGIN" + field + "000020" + "LYRICS200").tag.Lyrics;
    };
    EXPECT_EQ(lyrics("LYR00000abc"), "");
    EXPECT_EQ(lyrics("LYR00 03abcdef"), "abc");
    EXPECT_EQ(lyrics("LYR003abcdef"), "cde");       // the number ends at the first letter
    EXPECT_EQ(lyrics("LYR002.5abcdef"), "ab");      // a half goes to even
    EXPECT_EQ(lyrics("LYR00099abc"), "abc000020");  // up to the end of the text
    // "ETT" also occurs inside the lyrics, before the real field: the first occurrence wins.
    EXPECT_EQ(ReadLyrics(kAudio + Lyrics3v2({{"LYR", "xETT00003abc"}, {"ETT", "Real"}}) + Id3v1({}))
                  .tag.Title,
              "abc");
}

TEST(GetLyrics, ReportsAnImpossibleLengthAndKeepsWhatWasSetBefore) {
    const std::pair<std::string, std::string> cases[] = {
        {"-0001", "Invalid procedure call or argument"}, {"9e+99", "Overflow"}};
    for (const auto& [length, message] : cases) {
        const auto r = ReadLyrics(kAudio + "LYRICSBEGIN" + "AUT00002Me" + "INF" + length + "xyz" +
                                  "LYRICS200");
        EXPECT_EQ(r.messages.size(), 1U) << length;
        if (r.messages.size() != 1U) {
            continue;  // the next row is still checked
        }
        EXPECT_EQ(r.messages[0].text, message);
        EXPECT_EQ(r.messages[0].title, "GetLyrics");
        EXPECT_EQ(r.messages[0].icon, MessageIcon::None);
        EXPECT_TRUE(r.tag.Present);
        EXPECT_EQ(r.tag.Author, "");  // INF is read before AUT and failed
    }
    EXPECT_TRUE(ReadLyrics(kAudio + "LYRICSBEGIN" + "INF2.1e9xyz" + "LYRICS200").messages.empty());
    EXPECT_EQ(ReadLyrics(kAudio + "LYRICSBEGIN" + "INF2.2e9xyz" + "LYRICS200").messages.size(), 1U);
}

// The tag must begin within the 5,200 bytes in front of the end marker, and the whole window
// must lie within the file: its last 5,337 bytes, which it reads at once, also when the tag
// begins at the first byte of a file of exactly that size.
TEST(GetLyrics, FindsATagOnlyWithinTheWindowInFrontOfTheMarkerReadAtOnce) {
    EXPECT_TRUE(ReadLyrics(kAudio + Lyrics3v1(std::string(5200 - 11, 'a'))).tag.Present);
    EXPECT_FALSE(ReadLyrics(kAudio + Lyrics3v1(std::string(5200 - 10, 'a'))).tag.Present);
    const std::string tag = Lyrics3v1("short");
    EXPECT_FALSE(ReadLyrics(std::string(5208 - tag.size(), 'x') + tag).tag.Present);
    EXPECT_TRUE(ReadLyrics(std::string(5209 - tag.size(), 'x') + tag).tag.Present);
    EXPECT_FALSE(ReadLyrics(std::string(5208 - tag.size(), 'x') + tag + Id3v1({})).tag.Present);
    EXPECT_TRUE(ReadLyrics(std::string(5209 - tag.size(), 'x') + tag + Id3v1({})).tag.Present);
    const auto edge = ReadLyrics(Lyrics3v1(std::string(5337 - 128 - 20, 'a')) + Id3v1({}));
    EXPECT_TRUE(edge.tag.Present);
    EXPECT_EQ(edge.reads, 1);
    EXPECT_EQ(ReadLyrics(kAudio + Lyrics3v1("long") + Id3v1({})).reads, 1);
}
