#include <gtest/gtest.h>

#include "mpeg/mod_MP3_BinaryHeader.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

MpegHeaderInfo Scan(const std::string& bytes, MpegHeaderInfo info = {}) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    BinHeader(files, "f.mp3", info);
    return info;
}

}  // namespace

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
