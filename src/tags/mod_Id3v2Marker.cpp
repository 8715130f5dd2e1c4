#include "tags/mod_Id3v2Marker.h"

#include <string>
#include <string_view>

namespace veltrane {

std::optional<Id3v2Marker> ReadId3v2Marker(ByteView& bytes) {
    const std::string head = bytes.Bytes(0, 10);
    if (std::string_view(head).substr(0, 3) != "ID3") {
        return std::nullopt;
    }
    Id3v2Marker marker;
    marker.Version = static_cast<std::uint8_t>(head[3]);
    marker.Flags = static_cast<std::uint8_t>(head[5]);
    for (std::size_t i = 6; i < 10; ++i) {
        marker.Size = marker.Size * 128 + static_cast<unsigned char>(head[i]);
    }
    return marker;
}

}  // namespace veltrane
