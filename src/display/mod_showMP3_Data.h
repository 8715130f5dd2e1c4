// The four result panes: each display clears its pane, then adds its rows in a fixed order.
#pragma once

#include <vector>

#include "id3v2/mod_MP3ID3_TAG.h"
#include "mpeg/mod_MP3_BinaryHeader.h"
#include "platform/mod__Toolkit.h"
#include "tags/mod_MP3ID1_TAG.h"
#include "tags/mod_MP3_LyricsTAG.h"

namespace veltrane {

// ID3v1 pane ("Item", "Value").
void ShowID1(ListPane& pane, const Id3v1Tag& tag);
// The genre's name, or " unknown " (a blank on both sides) past the table's end.
std::string GenreName(std::uint8_t genre);

// Lyrics pane: the whole text at once.
void ShowLyrics(TextPane& pane, const LyricsTag& tag);

// ID3v2 pane ("TAG", "Text", "Value"), sorted on "Text" ignoring case.
void ShowId3v2(ListPane& pane, MessageBox& messages, const Id3v2TagHeader& header,
               const std::vector<Id3v2Frame>& frames);

// MPEG pane ("Item", "Value").
void ShowMpegHeader(ListPane& pane, const MpegHeaderInfo& info);

}  // namespace veltrane
