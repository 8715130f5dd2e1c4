// The block read, 128 bytes at size - 128 (offsets from the marker):
//
//   offset  length  meaning
//   0       3       "TAG"
//   3       30      Title
//   33      30      Artist
//   63      30      Album
//   93      4       Year
//   97      30      Comment; in ID3v1.1 byte 125 is zero and ends it
//   126     1       Track, read whether or not byte 125 is zero
//   127     1       Genre
#include "tags/mod_MP3ID1_TAG.h"

#include <string_view>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

std::string CleanId1Field(std::string_view slice) {
    return CutAtNul(TrimSpaces(slice));
}

bool ReadID1(FileAccess& files, const std::string& path, Id3v1Tag& tag) {
    tag.Present = false;
    const auto file = files.OpenRead(path);
    if (!file) {
        return false;
    }
    // A file shorter than 128 bytes delivers nothing at a negative offset: no tag.
    ByteView bytes(*file, 128);
    const std::string block = bytes.Bytes(bytes.Size() - 128, 128);
    const std::string_view text = block;
    // "TAG" marks a tag only as the block's first three bytes. The same letters further in are
    // audio data or text that happens to spell them; the fields would run past the block.
    if (text.substr(0, 3) != "TAG") {
        return false;
    }
    tag.Present = true;
    tag.Title = CleanId1Field(text.substr(3, 30));
    tag.Artist = CleanId1Field(text.substr(33, 30));
    tag.Album = CleanId1Field(text.substr(63, 30));
    tag.Year = CleanId1Field(text.substr(93, 4));
    tag.Comment = CleanId1Field(text.substr(97, 30));
    tag.Track = static_cast<std::int16_t>(static_cast<unsigned char>(text[126]));
    tag.Genre = static_cast<std::uint8_t>(text[127]);
    return true;
}

}  // namespace veltrane
