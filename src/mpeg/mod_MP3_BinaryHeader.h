// The first MPEG-1 Layer III frame header of a file and what follows from it, with the lookup
// tables of the MPEG audio frame header.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

// Header bit fields to numbers and names. Version 2.5 is held as 25.
inline constexpr std::array<std::uint8_t, 4> MpegVersionTable = {25, 0, 2, 1};
inline constexpr std::array<std::uint8_t, 4> MpegLayerTable = {0, 3, 2, 1};
inline constexpr std::array<std::string_view, 4> ChannelModeNames = {
    "stereo", "joint stereo", "dual channel", "single channel"};
inline constexpr std::array<std::string_view, 4> EmphasisNames = {"no", "50/15", "reserved",
                                                                  "CCITT J 17"};
// Hz; rows MPEG-1, MPEG-2, MPEG-2.5 and one never filled; column 3 is the reserved index.
inline constexpr std::array<std::array<std::int32_t, 4>, 4> SampleRateTable = {{
    {44100, 48000, 32000, 0},
    {22050, 24000, 16000, 0},
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
}};
// kbit/s; rows MPEG-1 Layers I, II, III, then MPEG-2/2.5 Layer I and Layers II/III. Column 0
// (free format) and 15 (forbidden) hold 0; column 16 exists and is never filled.
inline constexpr std::array<std::array<std::int32_t, 17>, 5> BitrateTable = {{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0, 0},
}};

// The tables above are compile-time constants; this start-up step has nothing left to fill and
// is kept so that start-up still runs its steps in order: the MPEG tables, then the genre
// names and frame descriptions.
void InitMpegTables();

struct MpegHeaderInfo {
    std::int64_t FileSize = 0;
    std::int64_t HeaderOffset = 0;
    std::int64_t Duration = 0;  // whole seconds
    std::int32_t FrameSize = 0;
    std::int64_t FrameCount = 0;
    std::int32_t Bitrate = 0;  // bits per second
    std::int32_t SampleRate = 0;
    std::string VersionLayerKey;
    std::uint8_t Version = 0;
    std::uint8_t Layer = 0;
    std::uint8_t ChannelMode = 0;
    std::uint8_t ModeExtension = 0;
    std::uint8_t Emphasis = 0;
    bool IsVbr = false;
    bool ProtectionBit = false;  // 1 in the header: no CRC follows
    bool PaddingBit = false;
    bool PrivateBit = false;
    bool CopyrightBit = false;
    bool OriginalBit = false;
};

// Finds the first MPEG-1 Layer III header behind a leading ID3v2 tag and fills info. Returns
// true when a header was found. A file that cannot be opened or is empty leaves FileSize 0.
bool BinHeader(FileAccess& files, const std::string& path, MpegHeaderInfo& info);

// Scans for the first byte 0xFF followed by 0xFA or 0xFB at or after start; -1 when none
// starts before the end of the file. Reads one small block, then large ones.
inline constexpr std::size_t kFirstScanBlock = 4 * 1024;
inline constexpr std::size_t kScanBlock = 64 * 1024;
std::int64_t FindFirstHeader(ByteView& bytes, std::int64_t start);

}  // namespace veltrane
