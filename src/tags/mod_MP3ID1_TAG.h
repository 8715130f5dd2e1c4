// The ID3 version 1 / 1.1 tag in the last 128 bytes of a file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mod__FileAPI.h"

namespace veltrane {

struct Id3v1Tag {
    bool Present = false;
    std::string Artist;
    std::string Album;
    std::string Title;
    std::string Year;
    std::string Comment;
    std::int16_t Track = 0;
    std::uint8_t Genre = 0;
};

// Spaces removed at both ends, then everything from the first NUL on removed. The order
// matters: a space in front of the NUL fill stays.
std::string CleanId1Field(std::string_view slice);

// Reads the tag into tag. Returns true when the marker was found and every field was read.
// Sets Present false first; without a tag every other field keeps its earlier value.
bool ReadID1(FileAccess& files, const std::string& path, Id3v1Tag& tag);

}  // namespace veltrane
