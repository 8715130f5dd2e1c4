// ID3v2 tags of every version, read as the ID3v2.2, 2.3 and 2.4 documents describe them, and the
// text decoding the other tags share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/mod_Inspect.h"

namespace veltrane::inspect {

// The tag whose "ID3" header starts at offset, or nullopt when no valid header stands there (a
// version other than 2 to 4, or size bytes with their top bit set). Its notes go to notes; what
// its frames keep as text is taken from budget.
std::optional<Id3v2Tag> ReadId3v2At(ByteView& bytes, std::int64_t offset, std::vector<Note>& notes,
                                    TextBudget& budget);

// Where a tag ending at end with a "3DI" footer starts, or nullopt when no footer stands there.
std::optional<std::int64_t> Id3v2FooterStart(ByteView& bytes, std::int64_t end);

// ISO-8859-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);
// UTF-8 bytes with each byte that is not part of a valid sequence replaced by U+FFFD; valid
// tells whether none had to be.
std::string CleanUtf8(std::string_view bytes, bool& valid);
// Bytes as lower-case hexadecimal digits.
std::string Hex(std::string_view bytes);

}  // namespace veltrane::inspect
