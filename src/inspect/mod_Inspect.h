// The standards' view of a file: every tag found, each decoded by its own standard, the map of
// the file's bytes and the notes about what is wrong or unusual. The panes keep their own
// readers; nothing here changes what they show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "inspect/mod_InspectAudio.h"
#include "inspect/mod_InspectTypes.h"
#include "platform/mod__FileAPI.h"

namespace veltrane::inspect {

// No tag gives more frames or items than this; the rest is counted in a note.
inline constexpr std::size_t kMaxEntries = 1024;
// Text and data kept of one frame, item or field; longer text is shown cut, with a note.
inline constexpr std::size_t kHeldBytes = 64 * 1024;
// Bytes shown of a frame whose content has no kind of its own.
inline constexpr std::size_t kDataBytes = 32;

// What all the tags of one file together keep as text: each frame, item or field is kept up to
// its usual length until this much is held, and cut short after. A budget per tag would not do:
// a file may hold dozens of tags, and their text grows several times over once escaped.
class TextBudget {
  public:
    static constexpr std::size_t kBytes = 1024 * 1024;
    static constexpr std::size_t kSpent = 16;

    // How many of the wanted bytes of one content are kept.
    std::size_t Held(std::size_t wanted) const {
        return left_ > 0 ? wanted : std::min(wanted, kSpent);
    }
    void Spend(std::size_t bytes) { left_ -= std::min(left_, bytes); }

  private:
    std::size_t left_ = kBytes;
};

struct Picture {
    std::string mime;
    int type = 0;
    std::string typeName;
    std::string description;
    std::int64_t size = 0;  // the image's bytes
    std::string format;     // from the image's own signature
};

struct Id3v2Frame {
    std::int64_t offset = 0;  // of its header in the file (in the tag's bytes as stored)
    std::string id;
    std::int64_t size = 0;  // as its header declares
    std::vector<std::string> flags;
    std::optional<std::string> encoding;
    std::optional<std::vector<std::string>> text;
    std::optional<std::string> description;
    std::optional<std::string> language;
    std::optional<std::string> url;
    std::optional<std::string> owner;
    std::optional<Picture> picture;
    std::optional<std::string> counter;  // decimal digits, any length
    std::optional<int> rating;
    std::optional<std::string> email;
    std::optional<std::string> data;  // the first bytes in hex
};

struct Id3v2Tag {
    std::int64_t offset = 0;
    int major = 0;
    int revision = 0;
    std::vector<std::string> flags;
    std::int64_t size = 0;  // the whole tag as declared: header, body and footer
    std::int64_t padding = 0;
    std::int64_t extendedHeader = 0;  // its size, 0 without one
    bool plainSizes = false;          // 2.4 frame sizes written as plain integers
    std::vector<Id3v2Frame> frames;
};

struct ApeItem {
    std::string key;
    std::string type;  // text, binary, link
    std::vector<std::string> values;
    std::int64_t size = 0;
};

struct ApeTag {
    std::int64_t offset = 0;
    std::int64_t size = 0;  // header, items and footer
    int version = 0;        // 1000 or 2000
    bool header = false;
    std::vector<ApeItem> items;
};

struct Lyrics3Field {
    std::string id;
    std::string text;
};

struct Lyrics3Tag {
    std::int64_t offset = 0;
    std::int64_t size = 0;
    int version = 0;  // 1 or 2
    std::vector<Lyrics3Field> fields;
};

struct Id3v1Enhanced {
    std::int64_t offset = 0;
    std::string title, artist, album, genre, start, end;
    int speed = 0;
};

struct Id3v1Tag {
    std::int64_t offset = 0;
    std::string version;  // "1.0" or "1.1"
    std::string title, artist, album, year, comment;
    std::optional<int> track;
    int genre = 0;
    std::string genreName;  // empty for a number no list names
    std::optional<Id3v1Enhanced> enhanced;
};

struct Inspection {
    std::int64_t size = 0;
    std::vector<Region> regions;  // sorted, contiguous, covering the whole file
    std::vector<Id3v2Tag> id3v2;
    std::vector<ApeTag> apev2;
    std::vector<Lyrics3Tag> lyrics3;
    std::optional<Id3v1Tag> id3v1;
    std::optional<AudioInspection>
        audio;                // nullopt when no confirmed frame stands between the tags
    std::vector<Note> notes;  // sorted by offset
};

// Walks the whole file: the tags at its start, those at its end, and the audio between them,
// every frame of it with scan.
Inspection Inspect(ByteView& bytes, bool scan = false);

// The name of a picture type (0 to 20), empty for any other number.
std::string PictureTypeName(int type);
// The name of an ID3v1 genre number, empty for one no list names.
std::string GenreName(int genre);

}  // namespace veltrane::inspect
