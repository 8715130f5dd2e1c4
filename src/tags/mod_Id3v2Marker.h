// The "ID3" marker at the start of a file: ten bytes that the tag presence check, the MPEG
// header search (which skips the tag) and the ID3v2 reader decode alike. It stands apart from
// the ID3v2 reader so that these need none of the reader's frame buffers or zlib.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/mod__FileAPI.h"

namespace veltrane {

// The "ID3" header at the start of a file, as every reader that looks for it decodes it.
struct Id3v2Marker {
    std::uint8_t Version = 0;  // the major version byte, whatever its value
    std::uint8_t Flags = 0;
    std::int32_t Size = 0;  // body size: base 128, each byte taken whole (bit 7 not cleared)
};
std::optional<Id3v2Marker> ReadId3v2Marker(ByteView& bytes);

}  // namespace veltrane
