// The walk over a file: ID3v2 tags at its start (one after the other), then from its end
// backwards ID3v1 with its "TAG+" block, ID3v2 with a footer, APEv2 and Lyrics3 in any order,
// then the bytes between. Every byte lands in one region.
#include "inspect/mod_Inspect.h"

#include <algorithm>
#include <array>

#include "common/mod__HelperFunctions.h"
#include "inspect/mod_InspectId3v2.h"

namespace veltrane::inspect {

namespace {

// No file is taken to hold more tags than this at either end.
constexpr int kMaxTags = 16;
// Zero bytes looked over after a tag for another one.
constexpr std::int64_t kZerosBetweenTags = 64 * 1024;
// Lyrics3 v1 holds at most 5100 bytes of lyrics; v2 declares at most 999999 bytes.
constexpr std::int64_t kLyrics3v1Max = 5100;
constexpr std::int64_t kLyrics3v2Max = 999999;

std::uint32_t LittleEndian(std::string_view b) {
    std::uint32_t value = 0;
    for (std::size_t i = b.size(); i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(b[i]);
    }
    return value;
}

std::optional<std::int64_t> Digits(std::string_view text) {
    std::int64_t value = 0;
    if (text.empty()) {
        return std::nullopt;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// An ID3v1 field: ISO-8859-1 up to its first NUL, trailing spaces removed.
std::string Field(std::string_view bytes) {
    bytes = BeforeNul(bytes);
    while (!bytes.empty() && bytes.back() == ' ') {
        bytes.remove_suffix(1);
    }
    return Latin1ToUtf8(bytes);
}

class Walk {
  public:
    explicit Walk(ByteView& bytes) : bytes_(bytes) { result_.size = bytes.Size(); }

    Inspection Run(bool scan) {
        Leading();
        Trailing();
        auto& regions = result_.regions;
        result_.audio = InspectAudio(bytes_, lead_, tail_, scan, regions, result_.notes);
        if (!result_.audio && tail_ > lead_) {
            Add(Severity::Warning, lead_, "no MPEG audio frame found between the tags");
        }
        regions.insert(regions.end(), trailing_.rbegin(), trailing_.rend());
        std::reverse(result_.apev2.begin(), result_.apev2.end());
        std::reverse(result_.lyrics3.begin(), result_.lyrics3.end());
        std::stable_sort(result_.notes.begin(), result_.notes.end(),
                         [](const Note& a, const Note& b) { return a.offset < b.offset; });
        return std::move(result_);
    }

  private:
    void Add(Severity severity, std::int64_t offset, std::string text) {
        result_.notes.push_back({severity, offset, std::move(text)});
    }
    std::int64_t Size() const { return result_.size; }

    void Leading() {
        for (int n = 0; n < kMaxTags && lead_ < Size(); ++n) {
            auto tag = ReadId3v2At(bytes_, lead_, result_.notes, budget_);
            if (!tag && lead_ > 0) {
                const std::int64_t zeros = ZerosFrom(lead_);
                if (zeros > 0 &&
                    (tag = ReadId3v2At(bytes_, lead_ + zeros, result_.notes, budget_))) {
                    result_.regions.push_back({lead_, zeros, "junk"});
                    Add(Severity::Info, lead_,
                        std::to_string(zeros) + " zero bytes between two ID3v2 tags");
                    lead_ += zeros;
                }
            }
            if (!tag) {
                return;
            }
            const std::int64_t end = tag->offset + tag->size;
            if (end > Size()) {
                Add(Severity::Error, tag->offset,
                    "the ID3v2 tag's size (" + std::to_string(tag->size) +
                        " bytes) runs past the end of the file");
            } else if (n > 0) {
                Add(Severity::Info, tag->offset, "a further ID3v2 tag after the first");
            }
            result_.regions.push_back({lead_, std::min(end, Size()) - lead_, "id3v2"});
            result_.id3v2.push_back(std::move(*tag));
            lead_ = std::min(end, Size());
        }
    }

    std::int64_t ZerosFrom(std::int64_t at) {
        std::int64_t n = 0;
        while (n < kZerosBetweenTags && at + n < Size()) {
            const auto block = bytes_.Block(at + n);
            const auto held = std::min<std::int64_t>(static_cast<std::int64_t>(block.size()),
                                                     kZerosBetweenTags - n);
            const auto zeros = std::find_if(block.begin(), block.begin() + held,
                                            [](char c) { return c != '\0'; }) -
                               block.begin();
            n += zeros;
            if (zeros < held || block.empty()) {
                break;
            }
        }
        return n;
    }

    // A trailing tag declared to span [start, tail_): its region, cut where the leading tags end.
    void Trail(std::int64_t start, std::string_view kind, std::string_view name) {
        if (start < lead_) {
            Add(Severity::Error, tail_,
                std::string("the ") + std::string(name) +
                    " tag's size runs past the start of the file or into the tags before it");
            start = lead_;
        }
        trailing_.push_back({start, tail_ - start, std::string(kind)});
        tail_ = start;
    }

    void Trailing() {
        tail_ = Size();
        // One read for the file's last bytes, where every trailing tag's marker lies.
        bytes_.Block(std::max(lead_, tail_ - 4096));
        for (int n = 0; n < kMaxTags && tail_ > lead_; ++n) {
            if (n == 0 && tail_ - 128 >= lead_ && bytes_.Bytes(tail_ - 128, 3) == "TAG") {
                Id3v1();
                continue;
            }
            if (const auto start = Id3v2FooterStart(bytes_, tail_)) {
                // A start among the leading tags would read one of them a second time.
                if (*start >= lead_) {
                    if (auto tag = ReadId3v2At(bytes_, *start, result_.notes, budget_)) {
                        Add(Severity::Info, *start, "an ID3v2 tag appended at the end");
                        result_.id3v2.push_back(std::move(*tag));
                        std::stable_sort(
                            result_.id3v2.begin(), result_.id3v2.end(),
                            [](const auto& a, const auto& b) { return a.offset < b.offset; });
                        Trail(*start, "id3v2", "ID3v2");
                        continue;
                    }
                }
                Add(Severity::Error, tail_ - 10, "an ID3v2 footer without its tag");
                return;
            }
            if (tail_ - 32 >= lead_ && bytes_.Bytes(tail_ - 32, 8) == "APETAGEX") {
                if (!Ape()) {
                    return;
                }
                continue;
            }
            if (tail_ - 9 >= lead_ && bytes_.Bytes(tail_ - 9, 9) == "LYRICS200") {
                if (!Lyrics3v2()) {
                    return;
                }
                continue;
            }
            if (tail_ - 9 >= lead_ && bytes_.Bytes(tail_ - 9, 9) == "LYRICSEND") {
                if (!Lyrics3v1()) {
                    return;
                }
                continue;
            }
            return;
        }
    }

    void Id3v1() {
        const std::int64_t at = tail_ - 128;
        const std::string b = bytes_.Bytes(at, 128);
        const std::string_view v(b);
        Id3v1Tag tag;
        tag.offset = at;
        tag.title = Field(v.substr(3, 30));
        tag.artist = Field(v.substr(33, 30));
        tag.album = Field(v.substr(63, 30));
        tag.year = Field(v.substr(93, 4));
        if (b[125] == '\0' && b[126] != '\0') {
            tag.version = "1.1";
            tag.comment = Field(v.substr(97, 28));
            tag.track = static_cast<unsigned char>(b[126]);
        } else {
            tag.version = "1.0";
            tag.comment = Field(v.substr(97, 30));
        }
        tag.genre = static_cast<unsigned char>(b[127]);
        tag.genreName = GenreName(tag.genre);
        Trail(at, "id3v1", "ID3v1");
        if (tail_ - 227 >= lead_ && bytes_.Bytes(tail_ - 227, 4) == "TAG+") {
            const std::string e = bytes_.Bytes(tail_ - 227, 227);
            const std::string_view ev(e);
            Id3v1Enhanced enhanced;
            enhanced.offset = tail_ - 227;
            enhanced.title = Field(ev.substr(4, 60));
            enhanced.artist = Field(ev.substr(64, 60));
            enhanced.album = Field(ev.substr(124, 60));
            enhanced.speed = static_cast<unsigned char>(e[184]);
            enhanced.genre = Field(ev.substr(185, 30));
            enhanced.start = Field(ev.substr(215, 6));
            enhanced.end = Field(ev.substr(221, 6));
            tag.enhanced = std::move(enhanced);
            Trail(tail_ - 227, "id3v1-enhanced", "ID3v1 enhanced");
        }
        result_.id3v1 = std::move(tag);
    }

    bool Ape() {
        const std::int64_t footer = tail_ - 32;
        const std::string f = bytes_.Bytes(footer, 32);
        const std::string_view fv(f);
        ApeTag tag;
        tag.version = static_cast<int>(LittleEndian(fv.substr(8, 4)));
        const std::int64_t size = LittleEndian(fv.substr(12, 4));
        const std::uint32_t count = LittleEndian(fv.substr(16, 4));
        const std::uint32_t flags = LittleEndian(fv.substr(20, 4));
        tag.header = (flags & 0x80000000U) != 0;
        if (size < 32) {
            Add(Severity::Error, footer, "the APEv2 footer declares a size below its own");
            return false;
        }
        tag.size = size + (tag.header ? 32 : 0);
        tag.offset = tail_ - tag.size;
        if (tag.version != 1000 && tag.version != 2000) {
            Add(Severity::Warning, footer,
                "APE tag version " + std::to_string(tag.version) + " is neither 1.0 nor 2.0");
        }
        if (tag.header && tag.offset >= lead_ && bytes_.Bytes(tag.offset, 8) != "APETAGEX") {
            Add(Severity::Warning, tag.offset,
                "the APEv2 footer announces a header that is not there");
        }
        std::int64_t at = std::max(tail_ - size, lead_);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (at + 8 > footer) {
                Add(Severity::Error, at, "APEv2 items run past the tag's footer");
                break;
            }
            if (tag.items.size() == kMaxEntries) {
                Add(Severity::Info, at,
                    "more than " + std::to_string(kMaxEntries) + " items; the rest are not listed");
                break;
            }
            const std::string head = bytes_.Bytes(at, 8 + 256);
            const std::int64_t valueSize = LittleEndian(std::string_view(head).substr(0, 4));
            const std::uint32_t itemFlags = LittleEndian(std::string_view(head).substr(4, 4));
            const auto nul = head.find('\0', 8);
            if (nul == std::string::npos) {
                Add(Severity::Error, at, "an APEv2 item key without its end; the rest is not read");
                break;
            }
            ApeItem item;
            const auto key = std::string_view(head).substr(8, nul - 8);
            item.key = Latin1ToUtf8(key.substr(0, budget_.Held(key.size())));
            budget_.Spend(key.size());
            const std::int64_t value = at + static_cast<std::int64_t>(nul) + 1;
            if (value + valueSize > footer) {
                Add(Severity::Error, at, "APEv2 item " + item.key + " runs past the tag's footer");
                break;
            }
            static constexpr std::array<const char*, 4> kTypes = {"text", "binary", "link",
                                                                  "reserved"};
            item.type = kTypes[itemFlags >> 1 & 3];
            item.size = valueSize;
            if (item.type == "text" || item.type == "link") {
                // Past the file's budget for text, each further value is shown cut short.
                const auto held = std::min<std::int64_t>(valueSize, budget_.Held(kHeldBytes));
                budget_.Spend(static_cast<std::size_t>(held));
                const std::string raw = bytes_.Bytes(value, static_cast<std::size_t>(held));
                bool valid = true;
                std::string_view rest(raw);
                while (item.values.size() < kMaxEntries) {
                    const auto end = rest.find('\0');
                    item.values.push_back(CleanUtf8(rest.substr(0, end), valid));
                    if (end == std::string_view::npos) {
                        break;
                    }
                    rest.remove_prefix(end + 1);
                }
                if (!valid) {
                    Add(Severity::Warning, at,
                        "APEv2 item " + item.key + " is not valid UTF-8, shown with U+FFFD");
                }
                if (held < valueSize) {
                    Add(Severity::Info, at,
                        "APEv2 item " + item.key + " shown cut at " + std::to_string(held) +
                            " of its bytes");
                }
            }
            tag.items.push_back(std::move(item));
            at = value + valueSize;
        }
        Trail(tag.offset, "apev2", "APEv2");
        result_.apev2.push_back(std::move(tag));
        return true;
    }

    bool Lyrics3v2() {
        const auto declared = Digits(bytes_.Bytes(tail_ - 15, 6));
        if (!declared) {
            Add(Severity::Error, tail_ - 15, "the Lyrics3 v2 size is not six digits");
            return false;
        }
        std::int64_t start = tail_ - 15 - *declared;
        if (start < lead_ || bytes_.Bytes(start, 11) != "LYRICSBEGIN") {
            const auto found = FindBegin(tail_ - 15, kLyrics3v2Max + 11);
            if (!found) {
                Add(Severity::Error, tail_ - 15,
                    "a Lyrics3 v2 tag whose LYRICSBEGIN is nowhere to be found");
                return false;
            }
            Add(Severity::Warning, *found,
                "the Lyrics3 v2 size (" + std::to_string(*declared) +
                    ") does not match: the tag starts " + std::to_string(tail_ - 15 - *found) +
                    " bytes before its size field");
            start = *found;
        }
        Lyrics3Tag tag;
        tag.offset = start;
        tag.size = tail_ - start;
        tag.version = 2;
        for (std::int64_t at = start + 11; at + 8 <= tail_ - 15;) {
            const std::string head = bytes_.Bytes(at, 8);
            const auto length = Digits(std::string_view(head).substr(3, 5));
            if (!length || at + 8 + *length > tail_ - 15) {
                Add(Severity::Error, at, "a Lyrics3 v2 field that cannot be read; the rest is not");
                break;
            }
            if (tag.fields.size() == kMaxEntries) {
                break;
            }
            const auto held = std::min<std::int64_t>(*length, budget_.Held(kHeldBytes));
            budget_.Spend(static_cast<std::size_t>(held));
            tag.fields.push_back(
                {Latin1ToUtf8(head.substr(0, 3)),
                 Latin1ToUtf8(bytes_.Bytes(at + 8, static_cast<std::size_t>(held)))});
            at += 8 + *length;
        }
        Trail(start, "lyrics3", "Lyrics3");
        result_.lyrics3.push_back(std::move(tag));
        return true;
    }

    bool Lyrics3v1() {
        const auto found = FindBegin(tail_ - 9, kLyrics3v1Max + 11);
        if (!found) {
            Add(Severity::Error, tail_ - 9, "LYRICSEND without LYRICSBEGIN before it");
            return false;
        }
        Lyrics3Tag tag;
        tag.offset = *found;
        tag.size = tail_ - *found;
        tag.version = 1;
        const auto length =
            std::min<std::int64_t>(tail_ - 9 - (*found + 11), budget_.Held(kHeldBytes));
        budget_.Spend(static_cast<std::size_t>(length));
        tag.fields.push_back(
            {"LYR", Latin1ToUtf8(bytes_.Bytes(*found + 11, static_cast<std::size_t>(length)))});
        Trail(*found, "lyrics3", "Lyrics3");
        result_.lyrics3.push_back(std::move(tag));
        return true;
    }

    // The last "LYRICSBEGIN" that starts within span bytes before end, not before the leading
    // tags' end.
    std::optional<std::int64_t> FindBegin(std::int64_t end, std::int64_t span) {
        const std::int64_t from = std::max(lead_, end - span);
        if (end - from < 11) {
            return std::nullopt;
        }
        const std::string window = bytes_.Bytes(from, static_cast<std::size_t>(end - from));
        const auto at = window.rfind("LYRICSBEGIN");
        if (at == std::string::npos) {
            return std::nullopt;
        }
        return from + static_cast<std::int64_t>(at);
    }

    ByteView& bytes_;
    Inspection result_;
    std::int64_t lead_ = 0;
    std::int64_t tail_ = 0;
    std::vector<Region> trailing_;  // from the end backwards
    TextBudget budget_;
};

}  // namespace

Inspection Inspect(ByteView& bytes, bool scan) {
    return Walk(bytes).Run(scan);
}

std::string PictureTypeName(int type) {
    static constexpr std::array<const char*, 21> kNames = {
        "Other",
        "32x32 pixels 'file icon' (PNG only)",
        "Other file icon",
        "Cover (front)",
        "Cover (back)",
        "Leaflet page",
        "Media (e.g. label side of CD)",
        "Lead artist/lead performer/soloist",
        "Artist/performer",
        "Conductor",
        "Band/Orchestra",
        "Composer",
        "Lyricist/text writer",
        "Recording Location",
        "During recording",
        "During performance",
        "Movie/video screen capture",
        "A bright coloured fish",
        "Illustration",
        "Band/artist logotype",
        "Publisher/Studio logotype",
    };
    return type >= 0 && type < static_cast<int>(kNames.size())
               ? kNames[static_cast<std::size_t>(type)]
               : "";
}

std::string GenreName(int genre) {
    static constexpr std::array<const char*, 192> kNames = {
        "Blues",
        "Classic Rock",
        "Country",
        "Dance",
        "Disco",
        "Funk",
        "Grunge",
        "Hip-Hop",
        "Jazz",
        "Metal",
        "New Age",
        "Oldies",
        "Other",
        "Pop",
        "R&B",
        "Rap",
        "Reggae",
        "Rock",
        "Techno",
        "Industrial",
        "Alternative",
        "Ska",
        "Death Metal",
        "Pranks",
        "Soundtrack",
        "Euro-Techno",
        "Ambient",
        "Trip-Hop",
        "Vocal",
        "Jazz+Funk",
        "Fusion",
        "Trance",
        "Classical",
        "Instrumental",
        "Acid",
        "House",
        "Game",
        "Sound Clip",
        "Gospel",
        "Noise",
        "Alternative Rock",
        "Bass",
        "Soul",
        "Punk",
        "Space",
        "Meditative",
        "Instrumental Pop",
        "Instrumental Rock",
        "Ethnic",
        "Gothic",
        "Darkwave",
        "Techno-Industrial",
        "Electronic",
        "Pop-Folk",
        "Eurodance",
        "Dream",
        "Southern Rock",
        "Comedy",
        "Cult",
        "Gangsta",
        "Top 40",
        "Christian Rap",
        "Pop/Funk",
        "Jungle",
        "Native American",
        "Cabaret",
        "New Wave",
        "Psychedelic",
        "Rave",
        "Showtunes",
        "Trailer",
        "Lo-Fi",
        "Tribal",
        "Acid Punk",
        "Acid Jazz",
        "Polka",
        "Retro",
        "Musical",
        "Rock & Roll",
        "Hard Rock",
        "Folk",
        "Folk-Rock",
        "National Folk",
        "Swing",
        "Fast Fusion",
        "Bebop",
        "Latin",
        "Revival",
        "Celtic",
        "Bluegrass",
        "Avantgarde",
        "Gothic Rock",
        "Progressive Rock",
        "Psychedelic Rock",
        "Symphonic Rock",
        "Slow Rock",
        "Big Band",
        "Chorus",
        "Easy Listening",
        "Acoustic",
        "Humour",
        "Speech",
        "Chanson",
        "Opera",
        "Chamber Music",
        "Sonata",
        "Symphony",
        "Booty Bass",
        "Primus",
        "Porn Groove",
        "Satire",
        "Slow Jam",
        "Club",
        "Tango",
        "Samba",
        "Folklore",
        "Ballad",
        "Power Ballad",
        "Rhythmic Soul",
        "Freestyle",
        "Duet",
        "Punk Rock",
        "Drum Solo",
        "A Cappella",
        "Euro-House",
        "Dance Hall",
        "Goa",
        "Drum & Bass",
        "Club-House",
        "Hardcore Techno",
        "Terror",
        "Indie",
        "Britpop",
        "Afro-Punk",
        "Polsk Punk",
        "Beat",
        "Christian Gangsta Rap",
        "Heavy Metal",
        "Black Metal",
        "Crossover",
        "Contemporary Christian",
        "Christian Rock",
        "Merengue",
        "Salsa",
        "Thrash Metal",
        "Anime",
        "JPop",
        "Synthpop",
        "Abstract",
        "Art Rock",
        "Baroque",
        "Bhangra",
        "Big Beat",
        "Breakbeat",
        "Chillout",
        "Downtempo",
        "Dub",
        "EBM",
        "Eclectic",
        "Electro",
        "Electroclash",
        "Emo",
        "Experimental",
        "Garage",
        "Global",
        "IDM",
        "Illbient",
        "Industro-Goth",
        "Jam Band",
        "Krautrock",
        "Leftfield",
        "Lounge",
        "Math Rock",
        "New Romantic",
        "Nu-Breakz",
        "Post-Punk",
        "Post-Rock",
        "Psytrance",
        "Shoegaze",
        "Space Rock",
        "Trop Rock",
        "World Music",
        "Neoclassical",
        "Audiobook",
        "Audio Theatre",
        "Neue Deutsche Welle",
        "Podcast",
        "Indie Rock",
        "G-Funk",
        "Dubstep",
        "Garage Rock",
        "Psybient",
    };
    return genre >= 0 && genre < static_cast<int>(kNames.size())
               ? kNames[static_cast<std::size_t>(genre)]
               : "";
}

}  // namespace veltrane::inspect
