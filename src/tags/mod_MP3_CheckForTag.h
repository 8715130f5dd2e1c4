// Which tags a file carries, judged from its first six and last 137 bytes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mod__FileAPI.h"

namespace veltrane {

struct TagPresence {
    bool HasID3v1 = false;
    bool HasID3v2 = false;
    std::uint8_t ID3v2Version = 0;
    bool ID3v2Footer = false;
    bool HasLyrics3 = false;
    bool Lyrics3EndFound = false;  // always equal to HasLyrics3
    std::uint8_t Lyrics3Version = 0;
};

// Clears the record, then fills it. A file that cannot be opened leaves it cleared.
void CheckForTag(FileAccess& files, const std::string& path, TagPresence& presence);

}  // namespace veltrane
