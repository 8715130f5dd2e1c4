// The Lyrics3 tag (version 1 or 2) in front of the ID3v1 tag or at the very end of a file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

struct LyricsTag {
    bool Present = false;
    std::uint8_t Version = 0;  // 1 without field identifiers, 2 with them
    std::uint8_t Indication1 = 0;
    std::uint8_t Indication2 = 0;
    std::string Lyrics;
    std::string Information;
    std::string Author;
    std::string Album;
    std::string Artist;
    std::string Title;
    std::string Image;
};

// The reader's working state for one call.
struct LyricsScan {
    ByteView* File = nullptr;
    std::int64_t FileSize = 0;
    bool HasID3v1 = false;
    // Distance back from the end of the file to where the end marker must begin.
    std::int64_t Back() const { return HasID3v1 ? 137 : 9; }
};

enum EndKind : int { kNoLyricsEnd = 0, kTextLikeEnd = 1, kLyricsEnd = 2, kLyrics200 = 3 };

inline constexpr std::size_t kLyricsWindow = 5200;

EndKind CheckLyricsEnd(LyricsScan& scan);
// The candidate tag text from the first "LYRICSBEGIN" of the window to the window's end;
// empty when there is none.
std::string ReadLyricsBlock(LyricsScan& scan);
// Fills the record from a candidate text. A fault (a negative or oversized field length) is
// reported through messages; the record keeps what was set before it.
void ParseLyrics(MessageBox& messages, const std::string& text, LyricsTag& tag);

void GetLyrics(FileAccess& files, MessageBox& messages, const std::string& path, LyricsTag& tag);

}  // namespace veltrane
