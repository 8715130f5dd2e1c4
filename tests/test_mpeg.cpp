#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "display/mod_showMP3_Data.h"
#include "mpeg/mod_MP3_BinaryHeader.h"
#include "support/Harness.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

MpegHeaderInfo Analyse(const std::string& bytes, MpegHeaderInfo info = {}) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    BinHeader(files, "f.mp3", info);
    return info;
}

std::string Padded(std::string bytes, std::size_t size) {
    bytes.resize(size, '\0');
    return bytes;
}

}  // namespace

TEST(MpegTables, HoldTheReservedAndUnfilledEntriesAsZero) {
    EXPECT_EQ(MpegVersionTable[0], 25);
    EXPECT_EQ(MpegVersionTable[1], 0);
    EXPECT_EQ(MpegLayerTable[0], 0);
    EXPECT_EQ(MpegLayerTable[1], 3);
    EXPECT_EQ(SampleRateTable[0][0], 44100);
    EXPECT_EQ(SampleRateTable[2][2], 8000);
    EXPECT_EQ(SampleRateTable[0][3], 0);
    for (const auto rate : SampleRateTable[3]) {
        EXPECT_EQ(rate, 0);
    }
    EXPECT_EQ(BitrateTable[2][9], 128);
    EXPECT_EQ(BitrateTable[2][14], 320);
    EXPECT_EQ(BitrateTable[0][14], 448);
    EXPECT_EQ(BitrateTable[4][1], 8);
    for (const auto& row : BitrateTable) {
        EXPECT_EQ(row[0], 0);
        EXPECT_EQ(row[15], 0);
        EXPECT_EQ(row[16], 0);
    }
    EXPECT_EQ(ChannelModeNames[3], "single channel");
    EXPECT_EQ(EmphasisNames[3], "CCITT J 17");
}

TEST(BinHeader, DecodesTheFirstHeaderOfAPlainFile) {
    const auto info = Analyse(Padded(MpegHeader(0xFB, 0x90, 0x64), 5'000'000));
    EXPECT_EQ(info.HeaderOffset, 0);
    EXPECT_EQ(info.Version, 1);
    EXPECT_EQ(info.Layer, 3);
    EXPECT_EQ(info.VersionLayerKey, "13");
    EXPECT_TRUE(info.ProtectionBit);
    EXPECT_EQ(info.Bitrate, 128000);
    EXPECT_EQ(info.SampleRate, 44100);
    EXPECT_FALSE(info.PaddingBit);
    EXPECT_FALSE(info.PrivateBit);
    EXPECT_EQ(info.ChannelMode, 1);
    EXPECT_EQ(info.ModeExtension, 2);
    EXPECT_FALSE(info.CopyrightBit);
    EXPECT_TRUE(info.OriginalBit);
    EXPECT_EQ(info.Emphasis, 0);
    EXPECT_EQ(info.FrameSize, 418);
    EXPECT_EQ(info.FrameCount, 11961);
    EXPECT_EQ(info.Duration, 312);
}

TEST(BinHeader, RoundsTheFrameSizeAndCountsFramesDown) {
    EXPECT_EQ(Analyse(Padded(MpegHeader(0xFB, 0x92, 0x64), 1000)).FrameSize, 419);
    EXPECT_EQ(Analyse(Padded(MpegHeader(), 3 * 418)).FrameCount, 3);
    EXPECT_EQ(Analyse(Padded(MpegHeader(), 3 * 418 - 1)).FrameCount, 2);
}

TEST(BinHeader, SkipsALeadingTagByItsBase128SizeWithEveryBit) {
    const std::string tag = "ID3" + Bytes({3, 0, 0, 0, 0, 2, 1});  // size 257: scan from 267
    std::string file = tag + Fill(257) + MpegHeader();
    // An FF FB inside the tag body is skipped with it.
    file.replace(20, 2, Bytes({0xFF, 0xFB}));
    EXPECT_EQ(Analyse(Padded(file, 2000)).HeaderOffset, 267);

    // 00 00 00 80: the top bit is not masked, the size is 128 and the scan starts at 138.
    std::string wide = "ID3" + Bytes({3, 0, 0, 0, 0, 0, 0x80}) + Fill(200);
    wide.replace(137, 2, Bytes({0xFF, 0xFB}));  // one byte early: inside the tag
    wide.replace(140, 2, Bytes({0xFF, 0xFB}));
    EXPECT_EQ(Analyse(wide).HeaderOffset, 140);
}

TEST(BinHeader, AcceptsOnlyFfFaAndFfFb) {
    const std::string passedOver =
        Bytes({0xFF, 0xF9, 0xFF, 0xFC, 0xFF, 0xF3, 0xFF, 0xE3, 0xFF, 0xFD});
    const auto info = Analyse(Padded(passedOver + MpegHeader(0xFA, 0x90, 0x64), 1000));
    EXPECT_EQ(info.HeaderOffset, 10);
    EXPECT_FALSE(info.ProtectionBit);
}

TEST(BinHeader, FindsAPairSplitAcrossReadBlocks) {
    // Blocks of 4 KiB, 16 KiB, then 64 KiB from the start of the file.
    constexpr auto first = static_cast<std::int64_t>(kFirstScanBlock);
    constexpr auto second = first + 4 * first;
    constexpr auto third = second + static_cast<std::int64_t>(kScanBlock);
    for (const std::int64_t at : {first - 1, first, second - 1, second, third - 1, third}) {
        std::string file = Fill(200'000, '\x11');
        file.replace(static_cast<std::size_t>(at), 2, Bytes({0xFF, 0xFB}));
        EXPECT_EQ(Analyse(file).HeaderOffset, at) << at;
    }
    // An FF at a block's last byte whose next byte is no header byte is passed over.
    std::string file = Fill(200'000, '\x11');
    file[static_cast<std::size_t>(first - 1)] = '\xFF';
    file.replace(70000, 2, Bytes({0xFF, 0xFB}));
    EXPECT_EQ(Analyse(file).HeaderOffset, 70000);
}

TEST(BinHeader, SeesXingOnlyAt36BytesBehindTheHeader) {
    std::string at36 = Padded(MpegHeader(), 1000);
    at36.replace(36, 4, "Xing");
    EXPECT_TRUE(Analyse(at36).IsVbr);
    std::string at32 = Padded(MpegHeader(), 1000);
    at32.replace(32, 4, "Xing");
    EXPECT_FALSE(Analyse(at32).IsVbr);
    EXPECT_FALSE(Analyse(MpegHeader() + Fill(34) + "Xi").IsVbr);  // the file ends first
}

TEST(BinHeader, ReplacesFreeFormatAndReservedRatesByOne) {
    EXPECT_EQ(Analyse(Padded(MpegHeader(0xFB, 0x00, 0x00), 100)).Bitrate, 1000);
    EXPECT_EQ(Analyse(Padded(MpegHeader(0xFB, 0xF0, 0x00), 100)).Bitrate, 1000);
    const auto reserved = Analyse(Padded(MpegHeader(0xFB, 0x9C, 0x00), 100));
    EXPECT_EQ(reserved.SampleRate, 1);
    EXPECT_EQ(reserved.FrameSize, 18432000);
}

TEST(BinHeader, TakesZerosForAHeaderCutOffByTheEnd) {
    const auto info = Analyse(Fill(10, '\x11') + Bytes({0xFF, 0xFB}));
    EXPECT_EQ(info.HeaderOffset, 10);
    EXPECT_EQ(info.Bitrate, 1000);
    EXPECT_EQ(info.SampleRate, 44100);
}

TEST(BinHeader, LeavesNothingOfTheFileBeforeWhenNoHeaderIsFound) {
    const auto before = Analyse(Padded(MpegHeader(0xFB, 0x92, 0x6F), 5000));
    ASSERT_TRUE(before.PaddingBit);
    const auto after = Analyse(Fill(3000, '\x11'), before);
    MpegHeaderInfo expected;
    expected.FileSize = 3000;
    EXPECT_EQ(after.FileSize, 3000);
    EXPECT_EQ(after.HeaderOffset, 0);
    EXPECT_EQ(after.Bitrate, 0);
    EXPECT_FALSE(after.PaddingBit || after.CopyrightBit || after.ProtectionBit || after.IsVbr);
    EXPECT_EQ(after.Emphasis, 0);
    EXPECT_EQ(after.VersionLayerKey, "");
    // A tag size pointing past the end of the file ends the scan too.
    EXPECT_EQ(Analyse("ID3" + Bytes({3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}) + MpegHeader()).Bitrate, 0);
}

TEST(BinHeader, LeavesFileSizeZeroForAnEmptyOrMissingFile) {
    EXPECT_EQ(Analyse("").FileSize, 0);
    MemoryFileAccess files;
    MpegHeaderInfo info;
    info.FileSize = 99;
    BinHeader(files, "missing.mp3", info);
    EXPECT_EQ(info.FileSize, 0);
}

// Sizes are 64-bit: a file above 256 MiB gets its playing time by the same formula.
TEST(BinHeader, TimesASparse300MiBFileWithoutOverflow) {
    char name[] = "/tmp/veltrane-sparse-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    const std::string header = MpegHeader();
    ASSERT_EQ(::write(fd, header.data(), header.size()), 4);
    const std::int64_t size = 300LL * 1024 * 1024;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    HostFileAccess files;
    MpegHeaderInfo info;
    EXPECT_TRUE(BinHeader(files, name, info));
    std::filesystem::remove(name);
    EXPECT_EQ(info.FileSize, size);
    EXPECT_EQ(info.Duration, (size - 1) * 8 / 128000);
    EXPECT_EQ(info.Duration, 19660);
}

TEST(ShowMpegHeader, ShowsSixteenRowsInOrder) {
    Harness h;
    h.Analyse("f.mp3", Padded(MpegHeader(0xFB, 0x90, 0x64), 5'000'000));
    EXPECT_EQ(Dump(h.mpegPane, 2),
              "Filelength\t5000000\n"
              "Header at\t0    (0x0)\n"
              "Duration\t00:05:12\n"
              "Bitrate\t128000\n"
              "Samplerate\t44100\n"
              "Framesize\t418\n"
              "Num Frames\t11961\n"
              "VBR\tFalse\n"
              "Layer\tMPEG 1 Layer 3\n"
              "Emphasis\tno\n"
              "Mode\tjoint stereo\n"
              "Original\tTrue\n"
              "Padding\tFalse\n"
              "Private\tFalse\n"
              "Protection\tTrue\n"
              "Copyright\tFalse\n");
    EXPECT_TRUE(h.messages.Messages().empty());
}

TEST(ShowMpegHeader, ShowsTheOffsetInHexAndTheZeroSizeRow) {
    MemoryListPane pane;
    MpegHeaderInfo info;
    info.FileSize = 1000;
    info.HeaderOffset = 417;
    info.Emphasis = 3;
    ShowMpegHeader(pane, info);
    EXPECT_EQ(pane.CellText(1, 1), "417    (0x1A1)");
    EXPECT_EQ(pane.CellText(9, 1), "CCITT J 17");
    info.FileSize = 0;
    ShowMpegHeader(pane, info);
    EXPECT_EQ(Dump(pane, 2), "FILE\tHAS 0 BYTE SIZE\n");
}
