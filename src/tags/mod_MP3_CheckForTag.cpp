// Two reads:
//
//   offset      length  meaning
//   0           10      "ID3", major version, revision, flags (0x10 announces a v2.4 footer)
//   size - 137  137     block bytes 0-8: Lyrics3 end marker in front of an ID3v1 tag;
//                       bytes 9-136: the last 128 bytes, "TAG" at 9; without an ID3v1 tag the
//                       end marker is looked for in block bytes 128-136
//
// A file shorter than 137 bytes delivers nothing for the second read, so a file that is only
// an ID3v1 tag is not recognised here; the ID3v1 reader finds it on its own.
#include "tags/mod_MP3_CheckForTag.h"

#include <string_view>

#include "tags/mod_Id3v2Marker.h"

namespace veltrane {

void CheckForTag(FileAccess& files, const std::string& path, TagPresence& presence) {
    presence = TagPresence{};
    const auto file = files.OpenRead(path);
    if (!file) {
        return;
    }
    ByteView bytes(*file, 16);
    if (const auto marker = ReadId3v2Marker(bytes)) {
        presence.HasID3v2 = true;
        presence.ID3v2Version = marker->Version;
        presence.ID3v2Footer = marker->Version == 4 && (marker->Flags & 0x10U) != 0;
    }
    const std::string tail = bytes.Bytes(bytes.Size() - 137, 137);
    const std::string_view block = tail;
    presence.HasID3v1 = block.substr(9, 3) == "TAG";
    const std::string_view marker = presence.HasID3v1 ? block.substr(0, 9) : block.substr(128, 9);
    if (marker == "LYRICSEND" || marker == "LYRICS200") {
        presence.HasLyrics3 = true;
        presence.Lyrics3EndFound = true;
        presence.Lyrics3Version = marker == "LYRICSEND" ? 1 : 2;
    }
}

}  // namespace veltrane
