// The start of a file: the ID3v2 tag, its frames and their values (with the helpers that form
// them), and the first MPEG header behind the tag.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3ID3_TAG.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"
#include "mpeg/mod_MP3_BinaryHeader.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

struct Tag {
    Id3v2TagHeader header;
    std::vector<Id3v2Frame> frames;
    std::vector<MemoryMessageBox::Message> messages;
    std::int64_t bytesRead = 0;
    // The identifiers of the frames read, separated by blanks.
    std::string Ids() const {
        std::string ids;
        for (std::int32_t i = 0; i < header.FramesRead; ++i) {
            ids += (i == 0 ? "" : " ") + frames.at(static_cast<std::size_t>(i)).Id;
        }
        return ids;
    }
};

Tag ReadTag(const std::string& bytes) {
    MemoryFileAccess files;
    MemoryMessageBox messages;
    files.Put("f.mp3", bytes);
    Tag t;
    ReadId3v2(files, messages, "f.mp3", t.header, t.frames);
    t.messages = messages.Messages();
    t.bytesRead = files.bytesDelivered;
    return t;
}

MpegHeaderInfo Scan(const std::string& bytes) {
    MpegHeaderInfo info;
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    BinHeader(files, "f.mp3", info);
    return info;
}

}  // namespace

// Each row: a file, the frames read from it, and whether the one splitting fault was reported.
TEST(ReadId3v2, SplitsTheBodyIntoFramesUntilPaddingOrAFault) {
    const std::string tit2 = Frame23("TIT2", Text("A"));
    const std::string cut = tit2 + "TALB" + BigEndian(20, 4) + std::string(2, '\0');
    // Declared sizes of 3 and 4 for 2 bytes of data: the first ends on the body's closing zero
    // byte, the second one byte past it.
    const std::string onClosingByte = "TIT2" + BigEndian(3, 4) + Bytes({0, 0}) + Text("A");
    const std::string pastClosingByte = "TIT2" + BigEndian(4, 4) + Bytes({0, 0}) + Text("A");
    const std::tuple<const char*, std::string, const char*, bool> cases[] = {
        {"padding", Id3v2(3, tit2 + Frame23("TPE1", Text("Me")) + std::string(1024, '\0')),
         "TIT2 TPE1", false},
        {"no padding", Id3v2(3, tit2 + Frame23("TALB", Text("B"))), "TIT2 TALB", false},
        {"version 2", Id3v2(2, Frame22("TT2", Text("T")) + Frame22("COM", "x")), "TT2 COM", false},
        {"lower case", Id3v2(3, Frame23("tit2", "x") + Frame23("T\xE4G1", "y")), "TIT2 T\xC4G1",
         false},
        {"hyphen", Id3v2(3, tit2 + Frame23("TI-2", "y")), "TIT2", false},
        {"NUL", Id3v2(3, tit2 + Frame23(std::string_view("TI\0002", 4), "y")), "TIT2", false},
        {"accented lower case", Id3v2(3, tit2 + Frame23("T\xE9G1", "y")), "TIT2", false},
        {"foreign first", Id3v2(3, Frame23("T-T2", "y") + tit2), "", false},
        {"short pictures dropped, empty frames kept",
         Id3v2(3, Frame23("APIC", "abcd") + Frame23("TIT2", "") +
                      Frame23("APIC", ApicData("image/png", "", "x")) + Frame23("APIC", "")),
         "TIT2 APIC APIC", false},
        {"frame larger than the tag",
         Id3v2(3, tit2 + "TALB" + BigEndian(1000, 4) + std::string(40, '\0')), "TIT2", false},
        {"frame past the body", Id3v2(3, cut) + std::string(100, 'z'), "", true},
        {"frame ending on the closing byte", Id3v2(3, onClosingByte), "TIT2", false},
        {"frame ending past the closing byte", Id3v2(3, pastClosingByte), "", true},
        {"size 2^31 - 1",
         Id3v2(3, tit2 + "TALB" + Bytes({0x7F, 0xFF, 0xFF, 0xFF}) + std::string(20, '\0')), "TIT2",
         false},
        {"size 2^31", Id3v2(3, tit2 + "TALB" + Bytes({0x80, 0, 0, 0}) + std::string(20, '\0')), "",
         true},
        // 238 x 128^3 + 53 x 128^2 + 74 x 128 = 500,000,000: bytes above 0x7F count whole.
        {"tag size far past the end", Id3v2(3, tit2, 0, Bytes({238, 53, 74, 0})), "TIT2", false},
    };
    for (const auto& [what, file, ids, fault] : cases) {
        const auto t = ReadTag(file);
        EXPECT_EQ(t.Ids(), ids) << what;
        EXPECT_EQ(t.messages.size(), fault ? 1U : 0U) << what;
        if (fault && !t.messages.empty()) {
            EXPECT_EQ(t.messages[0].title, "ReadID3-SF") << what;
            EXPECT_EQ(t.messages[0].icon, MessageIcon::Critical) << what;
        }
    }
}

TEST(ReadId3v2, RecordsTheHeaderAndEachFramesPlaceAndData) {
    const auto v3 = ReadTag(Id3v2(3, Frame23("TIT2", Text("Title")) +
                                         Frame23("APIC", ApicData("image/png", "", "x")) +
                                         Frame23("TALB", Text("B"), 0x40, 0x20)) +
                            std::string(300, '\0'));
    EXPECT_EQ(v3.header.MajorVersion, 3);
    EXPECT_EQ(v3.header.TagSize, 16 + 24 + 12);
    EXPECT_EQ(v3.header.IdLength, 4);
    EXPECT_EQ(v3.header.FrameHeaderSize, 10);
    EXPECT_EQ(v3.frames[0].Data, Text("Title"));
    EXPECT_EQ(v3.frames[0].Size, 6);
    EXPECT_EQ(v3.frames[1].FrameFileOffset, 10 + 16);
    EXPECT_EQ(v3.frames[1].Data, "");  // picture data is read again by the export
    EXPECT_EQ(v3.frames[2].StatusFlags, 0x40);
    EXPECT_EQ(v3.frames[2].FormatFlags, 0x20);
    EXPECT_EQ(ReadTag(Id3v2(2, Frame22("COM", "x"))).header.FrameHeaderSize, 6);
    EXPECT_EQ(ReadTag(Id3v2(3, "", 0, Bytes({0, 0, 0, 0x80}))).header.TagSize, 128);
    EXPECT_EQ(ReadTag(Id3v2(5, "")).header.MajorVersion, 0);
    // A last frame of no data whose size ends with the tag is read, not a fault.
    const auto edge = ReadTag(Id3v2(2, Frame22("TT2", Text("A")) + "TT1" + std::string(3, '\0')));
    EXPECT_EQ(edge.Ids(), "TT2 TT1");
    EXPECT_TRUE(edge.messages.empty());
}

// The declared size caps what is kept but is not trusted for allocation (4 GiB declared, a
// few bytes of stream); a stream that is no zlib gives nothing.
TEST(ReadId3v2, InflatesCompressedFramesFromWhatTheStreamHolds) {
    const auto data = [](const std::string& frame) {
        return ReadTag(Id3v2(3, frame)).frames.at(0).Data;
    };
    EXPECT_EQ(data(CompressedFrame23("TIT2", "Hello", 0xFFFFFFFFU)), "Hello");
    EXPECT_EQ(data(CompressedFrame23("TIT2", "Hello", 3)), "Hel");
    EXPECT_EQ(data(Frame23("TIT2", BigEndian(100, 4) + "not zlib", 0, 0x80)), "");
}

// What a stream gives past a limit is not delivered, in one read or in pieces, and the limit
// tells that there was more.
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
        FrameData pieces(bytes, 0, size, compressed, 3);
        std::array<char, 2> two{};
        const std::size_t first = pieces.Read(two);
        const std::size_t second = pieces.Read(two);
        EXPECT_TRUE(first == 2 && second == 1 && pieces.Read(two) == 0);
        FrameData whole(bytes, 0, size, compressed, compressed ? 5 : stored.size());
        EXPECT_EQ(whole.ReadAll(), compressed ? "Hello" : stored);
        EXPECT_FALSE(whole.OverLimit());
    }
}

// Everything the compressed frames of one tag inflate to stays within one budget: past it a
// frame shows nothing and one message says why; a frame that still fits keeps its data.
TEST(ReadId3v2, HoldsWhatTheFramesInflateToWithinOneBudget) {
    const std::string big(kMaxInflatedFrame + 10, 'A');
    const std::string head = big.substr(0, kMaxInflatedFrame);
    const std::string body = CompressedFrame23("TXXX", big) + CompressedFrame23("TXXX", big) +
                             CompressedFrame23("TXXX", big) + CompressedFrame23("TIT2", "Hi") +
                             CompressedFrame23("TXXX", big);
    const auto t = ReadTag(Id3v2(3, body));
    ASSERT_EQ(t.header.FramesRead, 5);
    EXPECT_TRUE(t.frames[0].Data == head && t.frames[2].Data == head);
    EXPECT_EQ(t.frames[3].Data, "Hi");
    EXPECT_EQ(t.frames[4].Data, "");
    ASSERT_EQ(t.messages.size(), 2U);
    EXPECT_EQ(t.messages[0].title, "ReadID3-SF");
    EXPECT_NE(t.messages[0].text.find("inflates to more than 1 MiB"), std::string::npos);
    EXPECT_NE(t.messages[1].text.find("4 MiB in all"), std::string::npos);
}

// Stored frames are read as far as a pane can show them: a frame to 1 MiB, a tag to 4 MiB, each
// cut said once where it changes what is shown; a tag of more than 100,000 frames stops there.
TEST(ReadId3v2, ReadsStoredFramesWithinTheirLimits) {
    const std::string big(kMaxStoredFrame + 10, 'B');
    const std::string quiet = Text("Shown") + big;  // its value ends at the NUL after "Shown"
    const auto t = ReadTag(Id3v2(3, Frame23("TXXX", quiet) + Frame23("TIT2", big) +
                                        Frame23("TALB", big) + Frame23("TPE1", big) +
                                        Frame23("TPE2", big) + Frame23("TPE3", Text("x"))));
    ASSERT_EQ(t.header.FramesRead, 6);
    EXPECT_EQ(t.frames[0].Data, quiet.substr(0, kMaxStoredFrame));
    EXPECT_EQ(t.frames[1].Data, big.substr(0, kMaxStoredFrame));
    EXPECT_EQ(t.frames[4].Data, "");  // past the tag's budget
    EXPECT_EQ(t.frames[5].Data, "");
    ASSERT_EQ(t.messages.size(), 2U);
    EXPECT_EQ(t.messages[0].text, "a frame holds more than 1 MiB; only its first 1 MiB are read");
    EXPECT_EQ(t.messages[1].text,
              "the frames hold more than 4 MiB in all; the frames past that are read cut");
    std::string many;
    for (std::size_t i = 0; i <= kMaxFrames; ++i) {
        many += Frame23("TIT2", "t");
    }
    const auto m = ReadTag(Id3v2(3, many));
    EXPECT_EQ(m.header.FramesRead, static_cast<std::int32_t>(kMaxFrames));
    ASSERT_EQ(m.messages.size(), 1U);
    EXPECT_EQ(m.messages[0].text,
              "the tag holds more than 100000 frames; those past them are not read");
}

// Picture data is stepped over, not read; frames on either side of a block boundary and
// frames larger than a block read whole.
TEST(ReadId3v2, ReadsFrameHeadersAndTextButNotPictureData) {
    const std::string cover = ApicData("image/jpeg", "", std::string(300'000, '\x42'));
    const std::string longText = Text(std::string(70'000, 'L'));
    // TIT2 is sized so that TPE1's header straddles the end of the first block read.
    const std::string title = Text(std::string(TagBody::kFirstBlock - 10 - 10 - 10 - 4, 't'));
    const std::string body = Frame23("TIT2", title) + Frame23("TPE1", Text("Artist")) +
                             Frame23("APIC", cover) + Frame23("TEXT", longText) +
                             Frame23("TALB", Text("Album")) + std::string(100, '\0');
    const auto t = ReadTag(Id3v2(3, body) + MpegFrame());
    ASSERT_EQ(t.Ids(), "TIT2 TPE1 APIC TEXT TALB");
    EXPECT_EQ(t.frames[0].Data, title);
    EXPECT_EQ(t.frames[1].Data, Text("Artist"));
    EXPECT_EQ(t.frames[2].Size, static_cast<std::int32_t>(cover.size()));
    EXPECT_EQ(t.frames[3].Data, longText);
    EXPECT_EQ(t.frames[4].Data, Text("Album"));
    // Reading the picture would deliver more than the whole body; the blocks around it reach
    // into it by less than half its size.
    EXPECT_LT(t.bytesRead, static_cast<std::int64_t>(body.size() - cover.size() / 2));
}

// (The golden files show the plain value of every kind of frame.)
TEST(FormatFrameValue, FormsEachFramesValueAndReportsALengthThatIsNoNumber) {
    const std::string utf16 = Bytes({1, 0xFF, 0xFE, 'A', 0});
    const std::tuple<const char*, std::string, std::string, const char*> cases[] = {
        {"TLEN", Text("215999"), "00:03:35", ""},
        {"TLEN", "180000", "00:03:00", ""},  // no encoding byte
        {"TLEN", utf16, "", "ReadID3dPAT"},
        {"TSIZ", Text(""), "", "ReadID3dPAT"},
        {"TSIZ", Text(std::string(" 4096 \0junk", 11)), "4096 bytes", ""},
        {"TSIZ", Text("1e999"), "", "ReadID3dPAT"},  // too large for a number: an overflow
        {"TSIZ", Text("-1e-999"), "0 bytes", ""},    // too small: zero
        {"TSIZ", Text("0." + std::string(400, '0') + "1"), "0 bytes", ""},
        {"PCNT", "", "File has been played 0 times", ""},
        {"TIT2", utf16, utf16, ""},  // the encoding byte goes only when it is zero
    };
    for (const auto& [id, data, value, message] : cases) {
        MemoryMessageBox box;
        Id3v2Frame frame;
        frame.Id = id;
        frame.Data = data;
        frame.Size = static_cast<std::int32_t>(data.size());
        EXPECT_EQ(FormatFrameValue(box, Id3v2TagHeader{}, frame), value) << id << " " << data;
        EXPECT_EQ(box.Messages().empty() ? "" : box.Messages()[0].title, std::string(message))
            << id << " " << data;
    }
}

// Each row: where the header stands, its three bytes after FF, and the pane's sixteen values
// for a file of 5,000,000 bytes. (The golden files show the plainest header.)
TEST(BinHeader, DecodesEveryFieldOfTheFirstHeaderIntoThePane) {
    const std::tuple<std::size_t, int, int, int, const char*> cases[] = {
        {417, 0xFB, 0x92, 0x6F,
         "5000000|417    (0x1A1)|00:05:12|128000|44100|419|11933|False|MPEG 1 Layer 3|CCITT J "
         "17|joint stereo|True|True|False|True|True"},
        {0, 0xFA, 0x91, 0xC0,
         "5000000|0    (0x0)|00:05:12|128000|44100|418|11961|False|MPEG 1 Layer 3|no|single "
         "channel|False|False|True|False|False"},
        // Free format and the reserved rates count as one kbit/s and one Hz.
        {0, 0xFB, 0x08, 0x81,
         "5000000|0    (0x0)|11:06:39|1000|32000|4|1250000|False|MPEG 1 Layer 3|50/15|dual "
         "channel|False|False|False|True|False"},
        {0, 0xFB, 0xFC, 0x00,
         "5000000|0    (0x0)|11:06:39|1000|1|144000|34|False|MPEG 1 Layer "
         "3|no|stereo|False|False|False|True|False"},
    };
    for (const auto& [at, b1, b2, b3, shown] : cases) {
        Harness h;
        h.Analyse("f.mp3", std::string(at, '\x11') + MpegFrame(5'000'000 - at, b1, b2, b3));
        std::string values;
        for (int r = 0; r < h.mpegPane.RowCount(); ++r) {
            values += (r == 0 ? "" : "|") + h.mpegPane.CellText(r, 1);
        }
        EXPECT_EQ(values, shown) << std::hex << b1 << " " << b2 << " " << b3;
    }
}

TEST(BinHeader, SkipsALeadingTagByItsBase128SizeWithEveryBit) {
    std::string file = "ID3" + Bytes({3, 0, 0, 0, 0, 2, 1}) + std::string(257, '\0') + MpegFrame(4);
    file.replace(20, 2, Bytes({0xFF, 0xFB}));  // inside the tag: skipped with it
    file.resize(2000, '\0');
    EXPECT_EQ(Scan(file).HeaderOffset, 267);
    // 00 00 00 80: the top bit is not masked, the size is 128 and the scan starts at 138.
    std::string wide = "ID3" + Bytes({3, 0, 0, 0, 0, 0, 0x80}) + std::string(200, '\0');
    wide.replace(137, 2, Bytes({0xFF, 0xFB}));
    wide.replace(140, 2, Bytes({0xFF, 0xFB}));
    EXPECT_EQ(Scan(wide).HeaderOffset, 140);
    // A tag size pointing past the end of the file leaves nothing to scan.
    EXPECT_EQ(Scan("ID3" + Bytes({3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}) + MpegFrame(4)).Bitrate, 0);
    MemoryFileAccess none;
    MpegHeaderInfo info;
    EXPECT_FALSE(BinHeader(none, "missing.mp3", info));
}

TEST(BinHeader, AcceptsOnlyFfFaAndFfFbAndTheFirstOfThem) {
    const std::string passedOver =
        Bytes({0xFF, 0xF9, 0xFF, 0xFC, 0xFF, 0xF3, 0xFF, 0xE3, 0xFF, 0xFD, 0xFF, 0xFF});
    EXPECT_EQ(Scan(passedOver + MpegFrame(4, 0xFA) + MpegFrame(4, 0xFB)).HeaderOffset, 12);
}

TEST(BinHeader, FindsAPairSplitAcrossReadBlocks) {
    // Blocks of 4 KiB, 16 KiB, then 64 KiB from the start of the file.
    constexpr auto first = static_cast<std::int64_t>(kFirstScanBlock);
    constexpr auto second = first + 4 * first;
    constexpr auto third = second + static_cast<std::int64_t>(kScanBlock);
    for (const std::int64_t at : {first - 1, first, second - 1, second, third - 1, third}) {
        std::string file(200'000, '\x11');
        file.replace(static_cast<std::size_t>(at), 2, Bytes({0xFF, 0xFB}));
        EXPECT_EQ(Scan(file).HeaderOffset, at) << at;
    }
    // An FF at a block's last byte whose next byte is no header byte is passed over.
    std::string file(200'000, '\x11');
    file[static_cast<std::size_t>(first - 1)] = '\xFF';
    file.replace(70000, 2, Bytes({0xFF, 0xFB}));
    EXPECT_EQ(Scan(file).HeaderOffset, 70000);
}

namespace {

// 1 TiB of hole between two stretches of data, the second holding a header.
class Sparse final : public InputFile {
  public:
    static constexpr std::int64_t kHole = 1LL << 40;
    std::int64_t Size() const override { return kHole + 4096; }
    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        read += static_cast<std::int64_t>(buffer.size());
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const std::int64_t at = offset + static_cast<std::int64_t>(i);
            buffer[i] = at == 5 || at == kHole + 100 ? '\xFF' : at == kHole + 101 ? '\xFB' : 0;
        }
        return buffer.size();
    }
    std::int64_t DataFrom(std::int64_t offset) override {
        return offset < 4096 || offset >= kHole ? offset : kHole;
    }
    std::int64_t read = 0;
};

}  // namespace

// A sparse file's holes hold only zeros and so no header: the scan reads around them, not
// through them (a 1 TiB hole here).
TEST(BinHeader, SkipsTheHolesOfASparseFile) {
    Sparse sparse;
    ByteView bytes(sparse, kFirstScanBlock, kScanBlock);
    EXPECT_EQ(FindFirstHeader(bytes, 0), Sparse::kHole + 100);
    EXPECT_LT(sparse.read, 1 << 20);
}

TEST(Helpers, FormatDurationsWithTwoDigitsAtLeastAndNegativeHoursRoundedDown) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "00:00:00"},    {59, "00:00:59"},     {60, "00:01:00"},
        {3599, "00:59:59"}, {3600, "01:00:00"},   {360000, "100:00:00"},
        {-1, "-01:59:59"},  {-3600, "-01:00:00"}, {-3601, "-02:59:59"}};
    for (const auto& [seconds, shown] : cases) {
        EXPECT_EQ(FormatDuration(seconds), shown) << seconds;
    }
}

TEST(Helpers, DecodeWindows1252AndCutAtTheFirstNul) {
    // The euro sign, a single right-pointing angle quotation mark, a capital Y with diaeresis.
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9B\x9F"), "\xE2\x82\xAC\xE2\x80\xBA\xC5\xB8");
    EXPECT_EQ(Cp1252ToUtf8("\x7F\x81\xA0"), "\x7F\xC2\x81\xC2\xA0");  // unassigned keeps its value
    EXPECT_EQ(Cp1252ToUtf8("\xC4\xFF"), "\xC3\x84\xC3\xBF");
    EXPECT_EQ(CutAtNul(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(CutAtNul(std::string("\0abc", 4)), "");
    EXPECT_EQ(CutAtNul("abc"), "abc");
}

TEST(Helpers, WriteCountersOfAnyLengthExactlyAndHugeOnesInScientificForm) {
    EXPECT_EQ(BigEndianToDecimal(""), "0");
    EXPECT_EQ(BigEndianToDecimal(std::string("\0\0\x01\x02", 4)), "258");
    EXPECT_EQ(BigEndianToDecimal("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"), "18446744073709551615");
    EXPECT_EQ(BigEndianToDecimal(std::string("\x01\0\0\0\0\0\0\0\0", 9)), "18446744073709551616");
    EXPECT_EQ(BigEndianToDecimal("\x01", 2), "65536");  // two implied zero bytes
    // 10^30 in thirteen bytes: several limbs and carries between them.
    const std::string tenToThe30("\x0C\x9F\x2C\x9C\xD0\x46\x74\xED\xEA\x40\x00\x00\x00", 13);
    EXPECT_EQ(BigEndianToDecimal(tenToThe30), "1" + std::string(30, '0'));
    const std::string longest = BigEndianToDecimal(std::string(kMaxExactCounterBytes, '\xFF'));
    EXPECT_EQ(longest.size(), 9865U);  // 2^32768 - 1
    EXPECT_EQ(longest.substr(0, 12), "141546103104");
    EXPECT_EQ(longest.substr(longest.size() - 12), "633712377855");
    const std::string huge = BigEndianToDecimal("\x01" + std::string(kMaxExactCounterBytes, '\0'));
    EXPECT_EQ(huge.substr(huge.find('E')), "E+9864");  // 256^4096 = 10^9864.xx
    // Just below 10^9866: the mantissa rounds up to 10 and carries into the exponent.
    EXPECT_EQ(BigEndianToDecimal("\x46\xA5\xFA\xE4\xCE\x2C\x43\xBA", 4089), "1.000000E+9866");
}

// A dropped line in a table compiles and shifts every later entry: the first, a middle and the
// last entry of each stand in their places; identifiers have their length and occur once; the
// only empty text is that of "TXT", and only "Track " and " unknown" have blanks at an end.
TEST(DefinitionTables, HoldEveryEntryInItsPlace) {
    constexpr auto npos = std::string_view::npos;
    constexpr std::string_view kIdChars = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string entries;
    std::set<std::string_view> blankAtAnEnd;
    const auto check = [&](const auto& ids, const auto& texts, std::size_t length) {
        EXPECT_EQ(std::set<std::string_view>(ids.begin(), ids.end()).size(), ids.size());
        for (std::size_t k = 0; k < ids.size(); ++k) {
            const bool id = length == 0 ||
                            (ids[k].size() == length && ids[k].find_first_not_of(kIdChars) == npos);
            EXPECT_TRUE(id) << ids[k];
            EXPECT_EQ(texts[k].empty(), ids[k] == "TXT") << ids[k];
            if (!texts[k].empty() && (texts[k].front() == ' ' || texts[k].back() == ' ')) {
                blankAtAnEnd.insert(texts[k]);
            }
            if (k == 0 || k == 37 || k + 1 == ids.size()) {
                entries += std::string(ids[k]) + "=" + std::string(texts[k]) + "|";
            }
        }
    };
    check(FrameIds22, FrameDescriptions22, 3);
    check(FrameIds23, FrameDescriptions23, 4);
    check(GenreNames, GenreNames, 0);
    EXPECT_EQ(entries,
              "BUF=Recommended buffer size|TP1=Lead artist(s)/Lead performer(s)/Soloist(s)/"
              "Performing group|WXX=User defined URL link frame|AENC=Audio encryption|TKEY=Initial "
              "key|WXXX=User defined URL link frame|Blues=Blues|Sound Clip=Sound Clip| unknown= "
              "unknown|");
    EXPECT_EQ(blankAtAnEnd, (std::set<std::string_view>{"Track ", " unknown"}));
}
