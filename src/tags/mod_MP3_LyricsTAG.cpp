// What is read, counted back from the end of the file (back = 137 with an ID3v1 tag, else 9):
//
//   offset                 length  meaning
//   size - 128             4       "TAG" decides back
//   size - back            9       end marker "LYRICSEND" (v1) or "LYRICS200" (v2), any case;
//                                  or a text-like ending (3 or 4 of its last four bytes in the
//                                  character set below) taken as a marker-less version 1 tag
//   size - back - 5200     5200    the window; the tag starts at its first "LYRICSBEGIN"
//
// The six-digit size field of a version 2 tag is not used: the window bounds the tag, and the
// fields are found by searching for their identifiers, each on its own, not in sequence.
#include "tags/mod_MP3_LyricsTAG.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string_view>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

// A text-like byte is an identifier character or one of these.
constexpr std::string_view kTextLikePunctuation = " .;,'!)";

struct FieldId {
    std::string_view id;
    std::string LyricsTag::*field;  // nullptr: the field is not stored
};

const std::array<FieldId, 8> kFields = {{
    {"IND", nullptr},
    {"LYR", &LyricsTag::Lyrics},
    {"INF", &LyricsTag::Information},
    {"AUT", &LyricsTag::Author},
    {"EAL", &LyricsTag::Album},
    {"EAR", &LyricsTag::Artist},
    {"ETT", &LyricsTag::Title},
    {"IMG", &LyricsTag::Image},
}};

constexpr std::string_view kBegin = "LYRICSBEGIN";

}  // namespace

EndKind CheckLyricsEnd(LyricsScan& scan) {
    const std::string bytes = scan.File->Bytes(scan.FileSize - scan.Back(), 9);
    const std::string marker = ToUpperAscii(bytes);
    if (marker == "LYRICS200") {
        return kLyrics200;
    }
    if (marker == "LYRICSEND") {
        return kLyricsEnd;
    }
    int count = 0;
    for (std::size_t i = 5; i < 9; ++i) {
        if (bytes[i] != '\0' && (kIdentifierChars.find(bytes[i]) != std::string_view::npos ||
                                 kTextLikePunctuation.find(bytes[i]) != std::string_view::npos)) {
            ++count;
        }
    }
    return count >= 3 ? kTextLikeEnd : kNoLyricsEnd;
}

std::string ReadLyricsBlock(LyricsScan& scan) {
    const std::string window = scan.File->Bytes(
        scan.FileSize - scan.Back() - static_cast<std::int64_t>(kLyricsWindow), kLyricsWindow);
    const std::string_view text = window;
    const auto begin = text.find(kBegin);
    if (begin == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(begin));
}

void ParseLyrics(MessageBox& messages, const std::string& text, LyricsTag& tag) {
    tag.Present = false;
    const auto begin = text.find(kBegin);
    const std::size_t start = begin == std::string::npos ? 0 : begin + kBegin.size();

    std::array<std::size_t, kFields.size()> found{};
    bool any = false;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        found[k] = text.find(kFields[k].id, start);
        any = any || found[k] != std::string::npos;
    }
    for (const auto& field : kFields) {
        if (field.field != nullptr) {
            (tag.*field.field).clear();
        }
    }
    tag.Indication1 = 0;
    tag.Indication2 = 0;

    if (!any) {
        tag.Version = 1;
        tag.Information = text.substr(start);
        tag.Present = true;
        return;
    }
    tag.Version = 2;
    for (std::size_t k = 0; k < kFields.size(); ++k) {
        if (found[k] == std::string::npos) {
            continue;
        }
        tag.Present = true;
        const std::size_t lengthAt = found[k] + 3;
        const std::string_view lengthText = lengthAt < text.size()
                                                ? std::string_view(text).substr(lengthAt, 5)
                                                : std::string_view{};
        const double length = RoundHalfEven(ReadLeadingNumber(lengthText));
        if (!(length <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
            messages.Show("Overflow", "GetLyrics", MessageIcon::None);
            return;
        }
        if (length < 0) {
            messages.Show("Invalid procedure call or argument", "GetLyrics", MessageIcon::None);
            return;
        }
        const std::size_t contentAt = found[k] + 8;
        std::string content;
        if (contentAt < text.size()) {
            content = text.substr(contentAt, static_cast<std::size_t>(length));
        }
        if (kFields[k].field != nullptr) {
            tag.*kFields[k].field = std::move(content);
        }
    }
}

void GetLyrics(FileAccess& files, MessageBox& messages, const std::string& path, LyricsTag& tag) {
    tag.Present = false;
    const auto file = files.OpenRead(path);
    if (!file) {
        return;
    }
    // Everything the reader may look at lies in the file's last 5,337 bytes: one read.
    constexpr std::int64_t kTail = 137 + static_cast<std::int64_t>(kLyricsWindow);
    ByteView tail(*file, kTail, kTail);
    tail.Byte(std::max<std::int64_t>(0, tail.Size() - kTail));
    LyricsScan scan;
    scan.File = &tail;
    scan.FileSize = file->Size();
    scan.HasID3v1 = tail.Bytes(scan.FileSize - 128, 3) == "TAG";
    if (CheckLyricsEnd(scan) == kNoLyricsEnd) {
        return;
    }
    const std::string text = ReadLyricsBlock(scan);
    if (!text.empty()) {
        tag.Version = 0;
        ParseLyrics(messages, text, tag);
    }
}

}  // namespace veltrane
