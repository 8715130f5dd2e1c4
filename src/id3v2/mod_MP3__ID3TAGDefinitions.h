// The ID3 vocabulary: frame identifiers with their descriptions per tag version, and the
// ID3v1 genre names. Constant from program start to end.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrane {

inline constexpr std::size_t kFrameCount22 = 63;
inline constexpr std::size_t kFrameCount23 = 74;
inline constexpr std::size_t kGenreCount = 149;

// Identifiers of tag version 2.2 (three characters) and their descriptions, entry k with k.
extern const std::array<std::string_view, kFrameCount22> FrameIds22;
extern const std::array<std::string_view, kFrameCount22> FrameDescriptions22;
// Identifiers of tag version 2.3 (four characters) and their descriptions.
extern const std::array<std::string_view, kFrameCount23> FrameIds23;
extern const std::array<std::string_view, kFrameCount23> FrameDescriptions23;
// ID3v1 genre names by genre number; the last entry is " unknown".
extern const std::array<std::string_view, kGenreCount> GenreNames;

// Start-up step that makes every definition table ready, the MPEG header tables first. The
// tables are compile-time constants, so what is left to do is the MPEG tables' own start-up.
void InitId3Definitions();

// The description of a frame identifier for a tag version (2 or 3); nothing for an identifier
// in no list or any other version. The lookup never crosses versions.
std::optional<std::string_view> LookupFrameDescription(std::uint8_t version, std::string_view id);

}  // namespace veltrane
