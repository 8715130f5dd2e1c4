#include <gtest/gtest.h>

#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"
#include "tags/mod_MP3_CheckForTag.h"

using namespace veltrane;
using namespace fixture;

namespace {

TagPresence Check(const std::string& bytes) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    TagPresence presence;
    CheckForTag(files, "f.mp3", presence);
    return presence;
}

const std::string kAudio = Fill(400, '\x55');

}  // namespace

TEST(CheckForTag, ReadsTheId3v2VersionAndTheVersion4FooterFlag) {
    const auto v3 = Check(Bytes({'I', 'D', '3', 3, 0, 0x10}) + kAudio);
    EXPECT_TRUE(v3.HasID3v2);
    EXPECT_EQ(v3.ID3v2Version, 3);
    EXPECT_FALSE(v3.ID3v2Footer);  // the footer flag counts for version 4 only

    const auto v4 = Check(Bytes({'I', 'D', '3', 4, 0, 0x10}) + kAudio);
    EXPECT_EQ(v4.ID3v2Version, 4);
    EXPECT_TRUE(v4.ID3v2Footer);

    EXPECT_FALSE(Check("id3" + kAudio).HasID3v2);
}

TEST(CheckForTag, FindsId3v1AndTheLyricsMarkerInFrontOfIt) {
    const auto v2 = Check(kAudio + "LYRICS200" + Id3v1({}));
    EXPECT_TRUE(v2.HasID3v1);
    EXPECT_TRUE(v2.HasLyrics3);
    EXPECT_TRUE(v2.Lyrics3EndFound);
    EXPECT_EQ(v2.Lyrics3Version, 2);
    EXPECT_EQ(Check(kAudio + "LYRICSEND" + Id3v1({})).Lyrics3Version, 1);
}

TEST(CheckForTag, LooksForTheMarkerAtTheVeryEndOnlyWithoutId3v1) {
    EXPECT_EQ(Check(kAudio + "LYRICSEND").Lyrics3Version, 1);
    EXPECT_FALSE(Check(kAudio + "lyricsend").HasLyrics3);
    // With an ID3v1 tag the last nine bytes belong to it and are not looked at.
    std::string tag = Id3v1({});
    tag.replace(119, 9, "LYRICSEND");
    EXPECT_FALSE(Check(kAudio + tag).HasLyrics3);
    EXPECT_FALSE(Check(kAudio + "tag" + Fill(125)).HasID3v1);
}

TEST(CheckForTag, DoesNotSeeATagInAFileShorterThanTheEndBlock) {
    const auto presence = Check(Id3v1({"only a tag", "", "", "", "", 1, 0}) + Fill(5));
    EXPECT_FALSE(presence.HasID3v1);
}

TEST(CheckForTag, ClearsEveryFieldForTheNextFile) {
    MemoryFileAccess files;
    files.Put("all.mp3", Bytes({'I', 'D', '3', 4, 0, 0x10}) + kAudio + "LYRICS200" + Id3v1({}));
    files.Put("none.mp3", kAudio);
    TagPresence presence;
    CheckForTag(files, "all.mp3", presence);
    EXPECT_TRUE(presence.HasLyrics3);
    CheckForTag(files, "none.mp3", presence);
    EXPECT_EQ(presence.ID3v2Version, 0);
    EXPECT_FALSE(presence.HasID3v1 || presence.HasID3v2 || presence.ID3v2Footer ||
                 presence.HasLyrics3 || presence.Lyrics3EndFound);
    EXPECT_EQ(presence.Lyrics3Version, 0);
    CheckForTag(files, "missing.mp3", presence);
    EXPECT_FALSE(presence.HasID3v2);
}
