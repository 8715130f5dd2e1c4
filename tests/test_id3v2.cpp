#include <gtest/gtest.h>

#include <set>

#include "common/mod__HelperFunctions.h"
#include "display/mod_showMP3_Data.h"
#include "id3v2/mod_MP3ID3_TAG.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "support/Harness.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

struct Read {
    Id3v2TagHeader header;
    std::vector<Id3v2Frame> frames;
    std::vector<MemoryMessageBox::Message> messages;
};

Read ReadTag(const std::string& bytes) {
    MemoryFileAccess files;
    MemoryMessageBox messages;
    files.Put("f.mp3", bytes);
    Read r;
    ReadId3v2(files, messages, "f.mp3", r.header, r.frames);
    r.messages = messages.Messages();
    return r;
}

std::vector<std::string> Ids(const Read& r) {
    std::vector<std::string> ids;
    for (std::int32_t i = 0; i < r.header.FramesRead; ++i) {
        ids.push_back(r.frames.at(static_cast<std::size_t>(i)).Id);
    }
    return ids;
}

using Ids_ = std::vector<std::string>;

std::string Value(const std::string& id, const std::string& data,
                  std::vector<MemoryMessageBox::Message>* messages = nullptr) {
    MemoryMessageBox box;
    Id3v2Frame frame;
    frame.Id = id;
    frame.Data = data;
    frame.Size = static_cast<std::int32_t>(data.size());
    const auto value = FormatFrameValue(box, Id3v2TagHeader{}, frame);
    if (messages != nullptr) {
        *messages = box.Messages();
    }
    return value;
}

}  // namespace

TEST(LookupFrameDescription, FindsDescriptionsPerVersionOnly) {
    EXPECT_EQ(LookupFrameDescription(3, "TIT2"), "Title");
    EXPECT_EQ(LookupFrameDescription(2, "TT2"), "Title/Songname/Content description");
    EXPECT_EQ(LookupFrameDescription(2, "WXX"), "User defined URL link frame");
    EXPECT_EQ(LookupFrameDescription(2, "TYE"), "Year");  // still aligned after "TXT"
    EXPECT_EQ(LookupFrameDescription(2, "TXT"), "");
    EXPECT_EQ(LookupFrameDescription(2, "TRK"), "Track ");
    EXPECT_EQ(LookupFrameDescription(3, "AENC"), "Audio encryption");
    EXPECT_EQ(LookupFrameDescription(3, "WXXX"), "User defined URL link frame");
    EXPECT_EQ(LookupFrameDescription(3, "USLT"), "Unsychronized lyric/text transcription");
    EXPECT_FALSE(LookupFrameDescription(3, "TDRC"));
    EXPECT_FALSE(LookupFrameDescription(3, "TPRO"));
    EXPECT_FALSE(LookupFrameDescription(2, "TIT2"));
    EXPECT_FALSE(LookupFrameDescription(4, "TIT2"));
    EXPECT_FALSE(LookupFrameDescription(0, "TIT2"));
    EXPECT_FALSE(LookupFrameDescription(3, "tit2"));
}

TEST(FrameTables, HoldUniqueIdentifiersOfTheirVersionsLength) {
    std::set<std::string_view> seen22(FrameIds22.begin(), FrameIds22.end());
    std::set<std::string_view> seen23(FrameIds23.begin(), FrameIds23.end());
    EXPECT_EQ(seen22.size(), 63U);
    EXPECT_EQ(seen23.size(), 74U);
    for (const auto id : FrameIds22) {
        EXPECT_EQ(id.size(), 3U) << id;
        EXPECT_EQ(LookupFrameDescription(2, id).has_value(), true);
    }
    for (const auto id : FrameIds23) {
        EXPECT_EQ(id.size(), 4U) << id;
    }
    EXPECT_EQ(FrameIds23[14], "PRIV");  // the constants' own order, not alphabetical
    EXPECT_EQ(FrameIds23[15], "PCNT");
}

TEST(ReadId3v2, ReadsTheTagSizeInBase128WithoutMasking) {
    EXPECT_EQ(ReadTag("ID3" + Bytes({3, 0, 0, 0, 0, 2, 1}) + Fill(300)).header.TagSize, 257);
    EXPECT_EQ(ReadTag("ID3" + Bytes({3, 0, 0, 0, 0, 0, 0x80}) + Fill(300)).header.TagSize, 128);
}

TEST(ReadId3v2, SplitsVersion3FramesAndStopsAtThePadding) {
    const auto r = ReadTag(
        Id3v2(3, Frame23("TIT2", Text("Title")) + Frame23("TPE1", Text("Me")) + Fill(1024)));
    EXPECT_EQ(r.header.MajorVersion, 3);
    EXPECT_EQ(r.header.IdLength, 4);
    EXPECT_EQ(r.header.FrameHeaderSize, 10);
    EXPECT_EQ(Ids(r), (Ids_{"TIT2", "TPE1"}));
    EXPECT_EQ(r.frames[0].Data, Text("Title"));
    EXPECT_EQ(r.frames[0].Size, 6);
    EXPECT_TRUE(r.messages.empty());
}

TEST(ReadId3v2, ReadsEveryFrameOfABodyThatEndsOnTheLastFrame) {
    const auto r = ReadTag(Id3v2(3, Frame23("TIT2", Text("A")) + Frame23("TALB", Text("B"))));
    EXPECT_EQ(Ids(r), (Ids_{"TIT2", "TALB"}));
}

TEST(ReadId3v2, SplitsVersion2FramesWithoutFlagsOrCompression) {
    const auto r =
        ReadTag(Id3v2(2, Frame22("TT2", Text("Title")) + Frame22("COM", Bytes({0x80, 1, 2}))));
    EXPECT_EQ(r.header.IdLength, 3);
    EXPECT_EQ(r.header.FrameHeaderSize, 6);
    EXPECT_EQ(Ids(r), (Ids_{"TT2", "COM"}));
    EXPECT_EQ(r.frames[1].Data, Bytes({0x80, 1, 2}));
    EXPECT_EQ(r.frames[1].FormatFlags, 0);
}

TEST(ReadId3v2, RecognisesVersion4WithoutReadingFrames) {
    const auto r = ReadTag(Id3v2(4, Frame23("TIT2", Text("Title"))));
    EXPECT_EQ(r.header.MajorVersion, 4);
    EXPECT_EQ(r.header.IdLength, 4);
    EXPECT_EQ(r.header.FramesRead, 0);
    const auto v5 = ReadTag(Id3v2(5, Frame23("TIT2", Text("Title"))));
    EXPECT_EQ(v5.header.MajorVersion, 0);
    EXPECT_EQ(v5.header.FramesRead, 0);
}

TEST(ReadId3v2, StoresLowerCaseIdentifiersUpperCasedAndStopsAtForeignCharacters) {
    EXPECT_EQ(Ids(ReadTag(Id3v2(3, Frame23("tit2", Text("x"))))), (Ids_{"TIT2"}));
    EXPECT_EQ(Ids(ReadTag(Id3v2(3, Frame23("T\xE4G1", Text("x"))))), (Ids_{"T\xC4G1"}));
    for (const std::string& bad : {std::string("TI 2"), std::string("TI-2"),
                                   std::string("TI\0"
                                               "2",
                                               4),
                                   std::string("T\xE9G1")}) {
        const auto r = ReadTag(Id3v2(3, Frame23("TALB", Text("x")) + Frame23(bad, Text("y"))));
        EXPECT_EQ(Ids(r), (Ids_{"TALB"}));
        EXPECT_TRUE(r.messages.empty());
    }
    const auto first = ReadTag(Id3v2(3, Frame23("T-T2", Text("x"))));
    EXPECT_EQ(first.header.FramesRead, 0);
    EXPECT_TRUE(first.messages.empty());
}

TEST(ReadId3v2, DropsAPictureFrameShorterThanFiveBytesAndKeepsEmptyFrames) {
    const auto r = ReadTag(Id3v2(3, Frame23("APIC", "abcd") + Frame23("TIT2", "") +
                                        Frame23("APIC", ApicData("image/png", "", "x")) +
                                        Frame23("APIC", "")));
    EXPECT_EQ(Ids(r), (Ids_{"TIT2", "APIC", "APIC"}));
    EXPECT_EQ(r.frames[0].Size, 0);
    EXPECT_EQ(r.frames[0].Data, "");
    EXPECT_EQ(r.frames[1].FrameFileOffset, 10 + 14 + 10);
    EXPECT_EQ(r.frames[1].Data, "");  // picture data is read again by the export
    EXPECT_EQ(r.frames[2].Size, 0);
}

TEST(ReadId3v2, RecordsAPictureAtBodyOffsetZeroAtFileOffset10) {
    const auto r = ReadTag(Id3v2(3, Frame23("APIC", ApicData("image/png", "", "x"))));
    EXPECT_EQ(r.frames.at(0).FrameFileOffset, 10);
}

TEST(ReadId3v2, EndsTheListQuietlyAtAFrameLargerThanTheWholeTag) {
    const std::string body = Frame23("TIT2", Text("A")) + "TALB" + BigEndian(1000, 4) + Fill(40);
    const auto r = ReadTag(Id3v2(3, body));
    EXPECT_EQ(Ids(r), (Ids_{"TIT2"}));
    EXPECT_TRUE(r.messages.empty());
}

TEST(ReadId3v2, DiscardsEveryFrameWhenOneReachesPastTheBody) {
    // TALB's size (20) fits the tag (22) but its data runs past the body's end.
    const std::string body = Frame23("TIT2", Text("A")) + "TALB" + BigEndian(20, 4) + Fill(2);
    const auto r = ReadTag(Id3v2(3, body) + Fill(100, 'z'));
    EXPECT_EQ(r.header.FramesRead, 0);
    ASSERT_EQ(r.messages.size(), 1U);
    EXPECT_EQ(r.messages[0].title, "ReadID3-SF");
    EXPECT_EQ(r.messages[0].icon, MessageIcon::Critical);
}

TEST(ReadId3v2, KeepsAFrameThatEndsOnTheBodysClosingByte) {
    // Data ends exactly on index TagSize, the buffer's extra zero byte.
    const std::string body = "TIT2" + BigEndian(3, 4) + Bytes({0, 0}) + Text("A");
    const auto r =
        ReadTag(Id3v2(3, body, 0, SyncsafeSize(static_cast<std::uint32_t>(body.size()))));
    EXPECT_EQ(r.header.FramesRead, 1);
    EXPECT_TRUE(r.messages.empty());
}

TEST(ReadId3v2, ReportsASizeThatDoesNotFitASigned32BitNumber) {
    const std::string body = "TIT2" + Bytes({0x80, 0, 0, 0}) + Fill(20);
    const auto r = ReadTag(Id3v2(3, body));
    EXPECT_EQ(r.header.FramesRead, 0);
    ASSERT_EQ(r.messages.size(), 1U);
    EXPECT_EQ(r.messages[0].title, "ReadID3-SF");
}

TEST(ReadId3v2, InflatesCompressedVersion3Frames) {
    const auto r = ReadTag(Id3v2(3, CompressedFrame23("TIT2", "Hello")));
    ASSERT_EQ(r.header.FramesRead, 1);
    EXPECT_EQ(r.frames[0].Data, "Hello");
    EXPECT_EQ(r.frames[0].FormatFlags, 0x80);
}

// The declared size is not trusted for allocation: 4 GiB declared, a few bytes of stream.
TEST(ReadId3v2, InflatesAFrameDeclaring4GiBFromWhatTheStreamHolds) {
    const auto r = ReadTag(Id3v2(3, CompressedFrame23("TIT2", "Hello", 0xFFFFFFFFU)));
    ASSERT_EQ(r.header.FramesRead, 1);
    EXPECT_EQ(r.frames[0].Data, "Hello");
    const auto inflated = [](const std::string& stored) {
        MemoryFileAccess files;
        files.Put("f", stored);
        const auto file = files.OpenRead("f");
        ByteView bytes(*file);
        return FrameData(bytes, 0, static_cast<std::int64_t>(stored.size()), true, 1000).ReadAll();
    };
    EXPECT_EQ(inflated(BigEndian(3, 4) + Compress("Hello")), "Hel");
    EXPECT_EQ(inflated(BigEndian(100, 4) + "not zlib"), "");
}

// What a stream gives past a limit is not delivered, and the limit tells that there was more.
TEST(FrameData, StopsAtItsLimitAndTellsWhetherMoreWasThere) {
    const std::string stored = BigEndian(5, 4) + Compress("Hello");
    MemoryFileAccess files;
    files.Put("f", stored);
    const auto file = files.OpenRead("f");
    ByteView bytes(*file);
    const auto size = static_cast<std::int64_t>(stored.size());
    for (const bool compressed : {true, false}) {
        FrameData cut(bytes, 0, size, compressed, 3);
        EXPECT_EQ(cut.ReadAll(), compressed ? "Hel" : stored.substr(0, 3));
        EXPECT_TRUE(cut.OverLimit());
        FrameData whole(bytes, 0, size, compressed, stored.size());
        EXPECT_EQ(whole.ReadAll().size(), compressed ? 5U : stored.size());
        EXPECT_FALSE(whole.OverLimit());
    }
}

// Everything the compressed frames of one tag inflate to stays within one budget: past it a
// frame shows nothing and one message says why; a frame that still fits keeps its data.
TEST(ReadId3v2, HoldsWhatTheFramesInflateToWithinOneBudget) {
    const std::string big(6U << 20, 'A');
    const std::string body = CompressedFrame23("TXXX", big) + CompressedFrame23("TXXX", big) +
                             CompressedFrame23("TXXX", big) + CompressedFrame23("TIT2", "Hi") +
                             CompressedFrame23("TXXX", big);
    const auto r = ReadTag(Id3v2(3, body));
    ASSERT_EQ(r.header.FramesRead, 5);
    EXPECT_EQ(r.frames[0].Data, big);
    EXPECT_EQ(r.frames[1].Data, big);
    EXPECT_EQ(r.frames[2].Data, "");
    EXPECT_EQ(r.frames[3].Data, "Hi");
    EXPECT_EQ(r.frames[4].Data, "");
    ASSERT_EQ(r.messages.size(), 1U);
    EXPECT_EQ(r.messages[0].title, "ReadID3-SF");
    EXPECT_NE(r.messages[0].text.find("16 MiB"), std::string::npos);
}

// A tag size pointing far past the end of a small file reads the same frames as a zero-filled
// body of the full size, and allocates only what the file holds.
TEST(ReadId3v2, ReadsATagWhoseSizePointsFarPastTheEnd) {
    const std::string body = Frame23("TIT2", Text("Title")) + Frame23("TPE1", Text("Me"));
    // 238 x 128^3 + 53 x 128^2 + 74 x 128: size bytes above 0x7F count whole.
    const auto r = ReadTag(Id3v2(3, body, 0, Bytes({238, 53, 74, 0})));
    EXPECT_EQ(r.header.TagSize, 500'000'000);
    EXPECT_EQ(Ids(r), (Ids_{"TIT2", "TPE1"}));
    EXPECT_TRUE(r.messages.empty());
    // A frame reaching past the body still is the splitting fault.
    const std::string cut = Frame23("TIT2", Text("Title")) + "TALB" + BigEndian(20, 4) + Fill(2);
    const auto faulty =
        ReadTag(Id3v2(3, cut, 0, SyncsafeSize(static_cast<std::uint32_t>(cut.size()))));
    EXPECT_EQ(faulty.messages.size(), 1U);
}

TEST(ReadId3v2, KeepsThePlayCounterOfAFrameCutByTheEndOfTheFile) {
    // The counter's last two bytes lie past the end: they read as zeros.
    const std::string body = "PCNT" + BigEndian(4, 4) + Bytes({0, 0}) + Bytes({0x01, 0x02});
    const auto r = ReadTag(Id3v2(3, body, 0, SyncsafeSize(1000)));
    ASSERT_EQ(r.header.FramesRead, 1);
    MemoryMessageBox box;
    EXPECT_EQ(FormatFrameValue(box, r.header, r.frames[0]), "File has been played 16908288 times");
}

// Picture data is stepped over, not read; frames on either side of a window boundary and
// frames larger than a window read whole.
TEST(ReadId3v2, ReadsFrameHeadersAndTextButNotPictureData) {
    const std::string cover = ApicData("image/jpeg", "", std::string(300'000, '\x42'));
    const std::string longText = Text(std::string(70'000, 'L'));
    // TIT2 is sized so that TPE1's header straddles the end of the first block read.
    const std::string title = Text(std::string(TagBody::kFirstBlock - 10 - 10 - 10 - 4, 't'));
    const std::string body = Frame23("TIT2", title) + Frame23("TPE1", Text("Artist")) +
                             Frame23("APIC", cover) + Frame23("TEXT", longText) +
                             Frame23("TALB", Text("Album")) + Fill(100);
    MemoryFileAccess files;
    MemoryMessageBox messages;
    files.Put("f.mp3", Id3v2(3, body) + MpegFrame());
    Id3v2TagHeader header;
    std::vector<Id3v2Frame> frames;
    ReadId3v2(files, messages, "f.mp3", header, frames);
    ASSERT_EQ(header.FramesRead, 5);
    EXPECT_EQ(frames[0].Data, title);
    EXPECT_EQ(frames[1].Data, Text("Artist"));
    EXPECT_EQ(frames[2].Size, static_cast<std::int32_t>(cover.size()));
    EXPECT_EQ(frames[3].Data, longText);
    EXPECT_EQ(frames[4].Data, Text("Album"));
    // Reading the picture would deliver more than the whole body; the blocks around it reach
    // into it by less than half its size.
    EXPECT_LT(files.BytesDelivered(), static_cast<std::int64_t>(body.size() - cover.size() / 2));
}

TEST(FormatFrameValue, ReadsLengthsInMillisecondsWithOrWithoutAnEncodingByte) {
    EXPECT_EQ(Value("TLEN", Text("215000")), "00:03:35");
    EXPECT_EQ(Value("TLEN", Text("215999")), "00:03:35");
    EXPECT_EQ(Value("TLEN", Text("999")), "00:00:00");
    EXPECT_EQ(Value("TLEN", "180000"), "00:03:00");
    EXPECT_EQ(Value("TLE", Text("60000")), "00:01:00");
}

TEST(FormatFrameValue, ReportsALengthThatIsNoNumber) {
    std::vector<MemoryMessageBox::Message> messages;
    EXPECT_EQ(Value("TLEN", Bytes({1, 0xFF, 0xFE, '1', 0}), &messages), "");
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].title, "ReadID3dPAT");
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
    EXPECT_EQ(Value("TSIZ", Text(""), &messages), "");
    EXPECT_EQ(messages.size(), 1U);
}

TEST(FormatFrameValue, FormsTheSpecialValues) {
    EXPECT_EQ(Value("TSIZ", Text("4096")), "4096 bytes");
    EXPECT_EQ(Value("TSI", Text("2.5")), "2 bytes");
    EXPECT_EQ(Value("TCON", Text("(17)")), "(17)");
    EXPECT_EQ(Value("TCOP", Text("2001 Someone")), "Copyright \xA9 2001 Someone");
    EXPECT_EQ(Value("TPRO", Text("2001 Label")), "Produced (P) 2001 Label");
    EXPECT_EQ(Value("PCNT", Bytes({0, 0, 1, 2})), "File has been played 258 times");
    EXPECT_EQ(Value("PCNT", Bytes({1, 0, 0, 0, 0, 0, 0, 0, 0})),
              "File has been played 18446744073709551616 times");
    EXPECT_EQ(Value("PCNT", ""), "File has been played 0 times");
    EXPECT_EQ(Value("RBUF", Bytes({0, 0x10, 0, 1, 0, 0, 0, 0})), "4096 bytes");
    EXPECT_EQ(Value("PIC", "anything"), "");
    EXPECT_EQ(Value("ASPI", ""), "present");
    EXPECT_EQ(Value("SEEK", "x"), "found");
    EXPECT_EQ(Value("IPLS", Text("people")), "people");
}

TEST(FormatFrameValue, StripsTheEncodingByteOnlyWhenItIsZero) {
    EXPECT_EQ(Value("TIT2", Text("Title")), "Title");
    const std::string utf16 = Bytes({1, 0xFF, 0xFE, 'A', 0});
    EXPECT_EQ(Value("TIT2", utf16), utf16);
    EXPECT_EQ(Value("WOAR", "http://x"), "http://x");
    EXPECT_EQ(Value("TIT2", ""), "");
    // COMM: encoding, language, then the description's terminator: the shown cell is empty.
    EXPECT_EQ(CutAtNul(Value("COMM", Text(std::string("eng") + '\0' + "comment"))), "");
}

TEST(ShowId3v2, SortsOnTheDescriptionWithTheVersionRowAmongThem) {
    Harness h;
    h.Analyse("f.mp3",
              Id3v2(3, Frame23("TIT2", Text("Song")) +
                           Frame23("APIC", ApicData("image/png", "", Fill(12332))) +
                           Frame23("TDRC", Text("2001")) + Frame23("TALB", Text("Album"))) +
                  MpegFrame());
    EXPECT_EQ(Dump(h.id3v2Pane, 3),
              "TDRC\t\t2001\n"
              "\t    ID3 Version\t3\n"
              "TALB\tAlbum\tAlbum\n"
              "APIC\tPicture\tAVAILLABLE (12345) bytes,        click this line to view\n"
              "TIT2\tTitle\tSong\n");
    EXPECT_EQ(h.id3v2Pane.Rows()[3].colors[2], kPureBlue);
    EXPECT_FALSE(h.id3v2Pane.Rows()[4].colors[2]);
}

TEST(ShowId3v2, ShowsTheNotFoundRowForNoTagVersion4OrNoFrames) {
    Harness h;
    for (const std::string& file : {MpegFrame(), Id3v2(4, Frame23("TIT2", Text("x"))),
                                    Id3v2(3, Frame23("T T2", Text("x")))}) {
        h.Analyse("f.mp3", file);
        EXPECT_EQ(Dump(h.id3v2Pane, 3), "NO\tNO\tID3 INFORMATION FOUND\n");
    }
}

TEST(ShowId3v2, ShowsVersion2PictureRowsWithoutInvitation) {
    Harness h;
    h.Analyse("f.mp3", Id3v2(2, Frame22("PIC",
                                        "JPG\x03"
                                        "desc") +
                                    Frame22("TT2", Text("Song"))));
    EXPECT_EQ(
        Dump(h.id3v2Pane, 3),
        "\t    ID3 Version\t2\nPIC\tPicture\t\nTT2\tTitle/Songname/Content description\tSong\n");
    EXPECT_FALSE(h.id3v2Pane.Rows()[1].colors[2]);
}
