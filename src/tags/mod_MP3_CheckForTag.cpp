// Two reads:
//
//   offset      length  meaning
//   0           6       "ID3", major version, revision, flags (0x10 announces a v2.4 footer)
//   size - 137  137     block bytes 0-8: Lyrics3 end marker in front of an ID3v1 tag;
//                       bytes 9-136: the last 128 bytes, "TAG" at 9; without an ID3v1 tag the
//                       end marker is looked for in block bytes 128-136
//
// A file shorter than 137 bytes delivers nothing for the second read, so a file that is only
// an ID3v1 tag is not recognised here; the ID3v1 reader finds it on its own.
#include "tags/mod_MP3_CheckForTag.h"

#include <string_view>

namespace veltrane {

void CheckForTag(FileAccess& files, const std::string& path, TagPresence& presence) {
    presence = TagPresence{};
    const auto file = files.OpenRead(path);
    if (!file) {
        return;
    }
    const auto head = ReadBlock(*file, 0, 6);
    if (std::string_view(head.data(), 3) == "ID3") {
        presence.HasID3v2 = true;
        presence.ID3v2Version = static_cast<std::uint8_t>(head[3]);
        presence.ID3v2Footer =
            presence.ID3v2Version == 4 && (static_cast<unsigned char>(head[5]) & 0x10U) != 0;
    }
    const auto tail = ReadBlock(*file, file->Size() - 137, 137);
    const std::string_view block(tail.data(), tail.size());
    presence.HasID3v1 = block.substr(9, 3) == "TAG";
    const std::string_view marker = presence.HasID3v1 ? block.substr(0, 9) : block.substr(128, 9);
    if (marker == "LYRICSEND" || marker == "LYRICS200") {
        presence.HasLyrics3 = true;
        presence.Lyrics3EndFound = true;
        presence.Lyrics3Version = marker == "LYRICSEND" ? 1 : 2;
    }
}

}  // namespace veltrane
