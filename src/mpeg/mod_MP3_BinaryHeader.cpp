// Layout read from the file:
//
//   offset          length  meaning
//   0               10      "ID3", version, flags, tag size (base 128, every bit of each byte)
//   scan start      ...     size + 10 behind a tag, else 0; first FF FA / FF FB wins
//   header          4       FF, b1 (version, layer, protection), b2 (bitrate, sample rate,
//                           padding, private), b3 (mode, extension, copyright, original,
//                           emphasis)
//   header + 36     4       "Xing" marks a VBR first frame (no adjustment for mono or CRC)
#include "mpeg/mod_MP3_BinaryHeader.h"

#include <algorithm>
#include <cmath>

#include "common/mod__HelperFunctions.h"
#include "tags/mod_Id3v2Marker.h"

namespace veltrane {

void InitMpegTables() {}

std::int64_t FindFirstHeader(ByteView& bytes, std::int64_t start) {
    // A pair may be split across two blocks: the last byte of one and the first of the next.
    bool lastWasFF = false;
    for (std::int64_t base = std::max<std::int64_t>(start, 0); base < bytes.Size();) {
        const auto block = bytes.Block(base);  // never empty inside the file
        const std::string_view text(block.data(), block.size());
        if (lastWasFF && (text[0] == '\xFA' || text[0] == '\xFB')) {
            return base - 1;
        }
        for (auto i = text.find('\xFF'); i != std::string_view::npos && i + 1 < text.size();
             i = text.find('\xFF', i + 1)) {
            if (text[i + 1] == '\xFA' || text[i + 1] == '\xFB') {
                return base + static_cast<std::int64_t>(i);
            }
        }
        lastWasFF = text.back() == '\xFF';
        base += static_cast<std::int64_t>(text.size());
        // A hole of a sparse file holds only zeros, so no header: the scan goes on where data
        // stands again.
        if (const std::int64_t data = bytes.DataFrom(base); data > base) {
            base = data;
            lastWasFF = false;
        }
    }
    return -1;
}

bool BinHeader(FileAccess& files, const std::string& path, MpegHeaderInfo& info) {
    info.FileSize = 0;
    info.Duration = 0;
    info.FrameSize = 0;
    info.FrameCount = 0;
    info.Bitrate = 0;
    info.SampleRate = 0;
    info.Version = 0;
    info.Layer = 0;
    info.OriginalBit = false;

    const auto file = files.OpenRead(path);
    if (!file) {
        return false;
    }
    const std::int64_t size = file->Size();
    if (size <= 0) {
        return false;
    }

    // The first block holds the tag header, and the frame header behind a small tag.
    ByteView bytes(*file, kFirstScanBlock, kScanBlock);
    const auto marker = ReadId3v2Marker(bytes);
    const std::int64_t start = marker ? std::int64_t{marker->Size} + 10 : 0;

    const std::int64_t offset = FindFirstHeader(bytes, start);
    if (offset < 0) {
        // No header: nothing of an earlier file may stay behind.
        info = MpegHeaderInfo{};
        info.FileSize = size;
        return false;
    }
    info.FileSize = size;
    info.HeaderOffset = offset;
    // A header cut off by the end of the file takes zeros for its missing bytes.
    const std::uint8_t b1 = bytes.Byte(offset + 1);
    const std::uint8_t b2 = bytes.Byte(offset + 2);
    const std::uint8_t b3 = bytes.Byte(offset + 3);

    info.Version = MpegVersionTable[(b1 & 0x18U) >> 3];
    info.Layer = MpegLayerTable[(b1 & 0x06U) >> 1];
    info.VersionLayerKey = std::to_string(info.Version) + std::to_string(info.Layer);
    info.ProtectionBit = (b1 & 0x01U) != 0;
    const unsigned bitrateIndex = (b2 & 0xF0U) >> 4;
    const unsigned sampleRateIndex = (b2 & 0x0CU) >> 2;
    const bool padding = (b2 & 0x02U) != 0;

    info.Bitrate = BitrateTable[2][bitrateIndex];
    info.SampleRate = SampleRateTable[0][sampleRateIndex];
    if (info.SampleRate == 0) {
        info.SampleRate = 1;
    }
    if (info.Bitrate == 0) {
        info.Bitrate = 1;
    }
    info.Bitrate *= 1000;

    // Single precision on both sides of the division, as the frame size has always been
    // computed: 128 kbit/s at 44100 Hz gives 418, or 419 with padding.
    const auto product = static_cast<float>(info.Bitrate * 144);
    const auto frame =
        static_cast<float>(static_cast<double>(product) / info.SampleRate + (padding ? 1 : 0));
    info.FrameSize = static_cast<std::int32_t>(RoundHalfEven(frame));
    info.FrameCount = static_cast<std::int64_t>(
        std::floor(static_cast<double>(size) / static_cast<double>(info.FrameSize)));
    // Everything from the byte after the header's first byte to the end of the file counts,
    // trailing tags included; 64-bit, so large files need no special case.
    info.Duration = static_cast<std::int64_t>(
        std::floor(static_cast<double>((size - offset - 1) * 8) / info.Bitrate));

    info.ModeExtension = static_cast<std::uint8_t>((b3 & 0x30U) >> 4);
    info.ChannelMode = static_cast<std::uint8_t>((b3 & 0xC0U) >> 6);
    info.Emphasis = static_cast<std::uint8_t>(b3 & 0x03U);
    info.PaddingBit = padding;
    info.PrivateBit = (b2 & 0x01U) != 0;
    info.CopyrightBit = (b3 & 0x08U) != 0;
    info.OriginalBit = (b3 & 0x04U) != 0;
    info.IsVbr = bytes.Bytes(offset + 36, 4) == "Xing";
    return true;
}

}  // namespace veltrane
