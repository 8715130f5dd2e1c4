// The standards' view of a file: the byte map, every tag decoded by its own standard, and the
// notes, over files built byte by byte.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "inspect/mod_Inspect.h"
#include "report/mod_Report.h"
#include "support/MemoryHost.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

using namespace veltrane;
using namespace veltrane::inspect;
using namespace fixture;

namespace {

Inspection InspectBytes(const std::string& bytes) {
    MemoryFileAccess files;
    files.Put("f.mp3", bytes);
    const auto file = files.OpenRead("f.mp3");
    ByteView view(*file);
    return Inspect(view);
}

// "offset+length kind" for each region, joined by commas.
std::string Map(const Inspection& in) {
    std::string out;
    for (const auto& r : in.regions) {
        out += (out.empty() ? "" : ", ") + std::to_string(r.offset) + "+" +
               std::to_string(r.length) + " " + r.kind;
    }
    return out;
}

bool Noted(const Inspection& in, Severity severity, std::int64_t offset, std::string_view text) {
    for (const auto& n : in.notes) {
        if (n.severity == severity && n.offset == offset &&
            n.text.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// MPEG-1 Layer III frames of 128 kbit/s at 44100 Hz, each with its padding byte: 418 bytes.
std::string Audio(int frames) {
    std::string audio;
    for (int i = 0; i < frames; ++i) {
        audio += MpegFrame(418, 0xFB, 0x92);
    }
    return audio;
}

using Values = std::vector<std::string>;

}  // namespace

// Junk between the leading tag and the audio, then APEv2, Lyrics3, the TAG+ block and ID3v1
// at the end: each byte in one region, the tags read from the end backwards.
TEST(Inspect, MapsEveryByteAndReadsTheTrailingTagsInOrder) {
    const std::string id3 = Id3v2(3, Frame23("TIT2", Text("Song")));  // 25 bytes
    const std::string ape =
        fixture::ApeTag({{"Artist", std::string("A\0B", 3)}, {"Cover", "xyz", 1}, {"Bad", "\xFF"}});
    const std::string lyrics = Lyrics3v2({{"IND", "00"}, {"LYR", "la la"}});
    std::string enhanced = "TAG+" + std::string(60, '\0');
    enhanced += "Long artist" + std::string(49, '\0') + std::string(60, '\0') + '\x02' +
                std::string(30, '\0') + "001:30" + "002:00";
    const std::string v1 = Id3v1({"Title", "Artist", "Album", "2001", "Note", 7, 17});
    const std::string file = id3 + "junk!" + Audio(3) + ape + lyrics + enhanced + v1;
    const Inspection in = InspectBytes(file);

    const std::int64_t apeAt = 25 + 5 + 3 * 418;
    const std::int64_t lyricsAt = apeAt + static_cast<std::int64_t>(ape.size());
    const std::int64_t enhancedAt = lyricsAt + static_cast<std::int64_t>(lyrics.size());
    EXPECT_EQ(Map(in), "0+25 id3v2, 25+5 junk, 30+1254 audio, " + std::to_string(apeAt) + "+" +
                           std::to_string(ape.size()) + " apev2, " + std::to_string(lyricsAt) +
                           "+" + std::to_string(lyrics.size()) + " lyrics3, " +
                           std::to_string(enhancedAt) + "+227 id3v1-enhanced, " +
                           std::to_string(enhancedAt + 227) + "+128 id3v1");
    EXPECT_TRUE(Noted(in, Severity::Warning, 25, "5 bytes of junk"));

    ASSERT_EQ(in.apev2.size(), 1U);
    EXPECT_EQ(in.apev2[0].offset, apeAt);
    EXPECT_TRUE(in.apev2[0].header);
    ASSERT_EQ(in.apev2[0].items.size(), 3U);
    EXPECT_EQ(in.apev2[0].items[0].values, (Values{"A", "B"}));
    EXPECT_EQ(in.apev2[0].items[1].type, "binary");
    EXPECT_EQ(in.apev2[0].items[1].size, 3);
    EXPECT_EQ(in.apev2[0].items[2].values, (Values{"\xEF\xBF\xBD"}));
    EXPECT_TRUE(Noted(in, Severity::Warning, apeAt + 32 + 18 + 17, "Bad is not valid UTF-8"));

    ASSERT_EQ(in.lyrics3.size(), 1U);
    EXPECT_EQ(in.lyrics3[0].version, 2);
    ASSERT_EQ(in.lyrics3[0].fields.size(), 2U);
    EXPECT_EQ(in.lyrics3[0].fields[1].text, "la la");

    ASSERT_TRUE(in.id3v1);
    EXPECT_EQ(in.id3v1->version, "1.1");
    EXPECT_EQ(in.id3v1->track, 7);
    EXPECT_EQ(in.id3v1->genreName, "Rock");
    ASSERT_TRUE(in.id3v1->enhanced);
    EXPECT_EQ(in.id3v1->enhanced->artist, "Long artist");
    EXPECT_EQ(in.id3v1->enhanced->end, "002:00");
    EXPECT_EQ(in.id3v1->enhanced->offset, enhancedAt);
    EXPECT_EQ(in.notes.size(), 2U);  // the junk and the bad UTF-8: nothing about the APE header

    const std::string lyricsV1 = Lyrics3v1("words");
    EXPECT_EQ(Map(InspectBytes(Audio(2) + ape + lyricsV1)),
              "0+836 audio, 836+" + std::to_string(ape.size()) + " apev2, " +
                  std::to_string(836 + ape.size()) + "+" + std::to_string(lyricsV1.size()) +
                  " lyrics3");
}

// A 2.4 tag whose frames are unsynchronised one by one, with data length indicators; a frame
// flagged so without it applied; values separated by NULs; the image's format from its bytes.
TEST(InspectId3v2, UndoesUnsynchronisationFrameByFrameWithDataLengthIndicators) {
    const std::string image = "\xFF\xD8\xFF\xE0" + std::string(20, '\x11') + "\xFF";
    const std::string apic = ApicData("image/png", "front", image);
    const std::string stored = Unsynchronise(apic);
    ASSERT_NE(stored.size(), apic.size());
    const std::string body =
        Frame24("APIC", SyncsafeSize(static_cast<std::uint32_t>(apic.size())) + stored, 0, 0x03) +
        Frame24("TPE1", std::string("\x03One\0Two\0", 9)) +
        Frame24("APIC", ApicData("image/jpeg", "", "\x11\xFF\xE0\x11"), 0, 0x02) +
        Frame24("APIC", ApicData("image/jpeg", "", Unsynchronise(image))) + std::string(10, '\0');
    const Inspection in = InspectBytes(Id3v2(4, body) + Audio(2));

    ASSERT_EQ(in.id3v2.size(), 1U);
    const Id3v2Tag& tag = in.id3v2[0];
    EXPECT_EQ(tag.padding, 10);
    ASSERT_EQ(tag.frames.size(), 4U);
    const Id3v2Frame& picture = tag.frames[0];
    EXPECT_EQ(picture.flags, (Values{"unsynchronisation", "data-length-indicator"}));
    ASSERT_TRUE(picture.picture);
    EXPECT_EQ(picture.picture->mime, "image/png");
    EXPECT_EQ(picture.picture->typeName, "Cover (front)");
    EXPECT_EQ(picture.picture->description, "front");
    EXPECT_EQ(picture.picture->size, static_cast<std::int64_t>(image.size()));
    EXPECT_EQ(picture.picture->format, "jpeg");
    EXPECT_TRUE(Noted(in, Severity::Warning, picture.offset, "disagrees with its jpeg signature"));
    EXPECT_EQ(tag.frames[1].encoding, "UTF-8");
    EXPECT_EQ(tag.frames[1].text, (Values{"One", "Two"}));
    EXPECT_TRUE(Noted(in, Severity::Warning, tag.frames[2].offset, "flagged but not applied"));
    EXPECT_TRUE(Noted(in, Severity::Warning, tag.frames[3].offset, "applied but not flagged"));
    EXPECT_EQ(Map(in), "0+" + std::to_string(10 + body.size()) + " id3v2, " +
                           std::to_string(10 + body.size()) + "+836 audio");
    // A data length indicator larger than the data, which no unsynchronisation can give.
    const std::string lying = Frame24("APIC", SyncsafeSize(1 << 20) + apic, 0, 0x01);
    const Inspection big = InspectBytes(Id3v2(4, lying) + Audio(2));
    EXPECT_EQ(big.id3v2.at(0).frames.at(0).picture->size, static_cast<std::int64_t>(image.size()));
    EXPECT_TRUE(Noted(big, Severity::Warning, 10, "(1048576) exceeds its"));
}

// 2.3 text: UTF-16 without a byte order mark read little-endian, bytes after the terminator,
// a text frame twice, a frame ID 2.3 does not define, a compressed frame inflated, and an
// encrypted one listed but not decoded.
TEST(InspectId3v2, DecodesTextAsTheVersionSaysAndNotesWhatIsAgainstIt) {
    const std::string body = Frame23("TIT2", std::string("\x01"
                                                         "A\0B\0",
                                                         5)) +
                             Frame23("TPE1", std::string("\x01\xFE\xFF\0C\0\0junk", 11)) +
                             Frame23("TIT2", Text("again")) + Frame23("TDRC", Text("2001")) +
                             CompressedFrame23("TALB", Text("Packed album")) +
                             Frame23("COMM", std::string("\x00"
                                                         "engdesc\0the comment",
                                                         20)) +
                             Frame23("GEOB", "\x80secret", 0, 0x40) + "\x01\x02";
    const Inspection in = InspectBytes(Id3v2(3, body) + Audio(2));

    ASSERT_EQ(in.id3v2.size(), 1U);
    const auto& frames = in.id3v2[0].frames;
    ASSERT_EQ(frames.size(), 7U);
    EXPECT_EQ(frames[0].text, (Values{"AB"}));
    EXPECT_EQ(frames[0].encoding, "UTF-16");
    EXPECT_TRUE(Noted(in, Severity::Warning, frames[0].offset, "without a byte order mark"));
    EXPECT_EQ(frames[1].text, (Values{"C"}));
    EXPECT_TRUE(Noted(in, Severity::Info, frames[1].offset, "bytes follow the text's terminator"));
    EXPECT_TRUE(Noted(in, Severity::Warning, frames[2].offset, "TIT2 is present twice"));
    EXPECT_TRUE(Noted(in, Severity::Warning, frames[3].offset, "TDRC is not defined for ID3v2.3"));
    EXPECT_EQ(frames[4].flags, (Values{"compression"}));
    EXPECT_EQ(frames[4].text, (Values{"Packed album"}));
    EXPECT_EQ(frames[5].language, "eng");
    EXPECT_EQ(frames[5].description, "desc");
    EXPECT_EQ(frames[5].text, (Values{"the comment"}));
    EXPECT_EQ(frames[6].flags, (Values{"encryption"}));
    EXPECT_FALSE(frames[6].data);
    EXPECT_TRUE(Noted(in, Severity::Warning, 10 + static_cast<std::int64_t>(body.size()) - 2,
                      "padding holds non-zero bytes"));
}

// Some taggers write 2.4 frame sizes as plain integers: a size of 256 read as synchsafe would
// end inside the text, read plainly it ends where the tag ends.
TEST(InspectId3v2, ReadsPlainIntegerFrameSizesIn24WithANote) {
    const std::string long_text = "\x03" + std::string(255, 'x');
    const std::string body = Frame24("TPE1", Text("Artist"), 0, 0, BigEndian(7, 4)) +
                             Frame24("TIT2", long_text, 0, 0, BigEndian(256, 4));
    const Inspection in = InspectBytes(Id3v2(4, body) + Audio(2));
    ASSERT_EQ(in.id3v2.size(), 1U);
    EXPECT_TRUE(in.id3v2[0].plainSizes);
    ASSERT_EQ(in.id3v2[0].frames.size(), 2U);
    EXPECT_EQ(in.id3v2[0].frames[0].text, (Values{"Artist"}));
    EXPECT_EQ(in.id3v2[0].frames[1].text, (Values{std::string(255, 'x')}));
    EXPECT_TRUE(Noted(in, Severity::Warning, 27, "plain integers"));
    EXPECT_EQ(in.notes.size(), 1U);
}

// A 2.4 tag appended after the audio, found from its footer; a second tag at the start behind
// zero bytes that belong to neither.
TEST(Inspect, FindsAppendedAndRepeatedTags) {
    const std::string body = Frame24("TIT2", Text("End"));
    const std::string appended = Id3v2(4, body, 0x10) + Id3v2Footer(body.size());
    const std::string first = Id3v2(3, Frame23("TIT2", Text("One")));
    const std::string second = Id3v2(4, Frame24("TIT2", Text("Two")));
    const Inspection in = InspectBytes(first + std::string(6, '\0') + second + Audio(2) + appended +
                                       Id3v1({"T", "", "", "", "", {}, 255}));

    ASSERT_EQ(in.id3v2.size(), 3U);
    EXPECT_EQ(in.id3v2[1].offset, 30);
    EXPECT_TRUE(Noted(in, Severity::Info, 24, "6 zero bytes between two ID3v2 tags"));
    EXPECT_EQ(in.id3v2[1].frames[0].text, (Values{"Two"}));
    EXPECT_EQ(in.id3v2[2].flags, (Values{"footer"}));
    EXPECT_EQ(in.id3v2[2].size, static_cast<std::int64_t>(appended.size()));
    EXPECT_EQ(in.id3v2[2].frames[0].text, (Values{"End"}));
    EXPECT_EQ(Map(in),
              "0+24 id3v2, 24+6 junk, 30+24 id3v2, 54+836 audio, 890+34 id3v2, 924+128 id3v1");
    EXPECT_EQ(in.id3v1->version, "1.0");
    EXPECT_EQ(in.id3v1->genreName, "");
    EXPECT_TRUE(Noted(in, Severity::Info, 890, "an ID3v2 tag appended at the end"));
    EXPECT_EQ(in.notes.size(), 3U);  // with the zeros and the further tag: nothing else

    // Zero bytes before the first tag: a tag must start the file, so all of it is junk.
    EXPECT_EQ(Map(InspectBytes(std::string(4, '\0') + first + Audio(2))),
              "0+28 junk, 28+836 audio");
}

// Sizes that do not fit the file: the tag keeps its declared size, its region ends with the
// file; a Lyrics3 size that misses LYRICSBEGIN; a frame running past its tag.
TEST(Inspect, NotesDamagedSizesAndStillCoversTheFile) {
    const Inspection cut =
        InspectBytes(Id3v2(3, Frame23("TIT2", Text("Song")) + std::string(50, '\0')).substr(0, 40));
    EXPECT_EQ(cut.id3v2.at(0).size, 10 + 10 + 5 + 50);
    EXPECT_EQ(Map(cut), "0+40 id3v2");
    EXPECT_TRUE(Noted(cut, Severity::Error, 0, "runs past the end of the file"));

    std::string lyrics = Lyrics3v2({{"LYR", "words"}});
    lyrics.replace(lyrics.size() - 15, 6, "000009");
    const Inspection wrong = InspectBytes(Audio(2) + lyrics);
    EXPECT_EQ(Map(wrong), "0+836 audio, 836+" + std::to_string(lyrics.size()) + " lyrics3");
    EXPECT_TRUE(Noted(wrong, Severity::Warning, 836, "Lyrics3 v2 size (9) does not match"));
    const Inspection noBegin = InspectBytes(Audio(2) + "words" + "LYRICSEND");
    EXPECT_EQ(noBegin.notes.size(), 1U);
    EXPECT_TRUE(Noted(noBegin, Severity::Error, 841, "LYRICSEND without LYRICSBEGIN"));

    // A size that takes the first frames of the audio into the tag.
    const std::string into =
        Id3v2(3, Frame23("TIT2", Text("Song")) + std::string(6, '\0') + Audio(1).substr(0, 100));
    const Inspection audio = InspectBytes(into + Audio(2));
    EXPECT_TRUE(Noted(audio, Severity::Error, 31, "runs into the audio"));

    const std::string overrun = Frame23("TIT2", Text("Song"));
    const Inspection frame = InspectBytes(Id3v2(3, overrun.substr(0, 12)) + Audio(1));
    EXPECT_TRUE(Noted(frame, Severity::Error, 10, "runs past the end of the tag"));

    // A footer whose size leads back to the leading tag: that tag is not read a second time, and
    // the audio stays audio.
    const Inspection back = InspectBytes(Id3v2(3, Frame23("TIT2", Text("One"))) + Audio(2) +
                                         Id3v2Footer(24 + 836 + 10 - 20));
    EXPECT_EQ(back.id3v2.size(), 1U);
    EXPECT_EQ(Map(back), "0+24 id3v2, 24+846 audio");
    EXPECT_TRUE(Noted(back, Severity::Error, 860, "an ID3v2 footer without its tag"));

    EXPECT_TRUE(InspectBytes(Id3v2(3, overrun)).notes.empty());
    EXPECT_EQ(Map(InspectBytes("")), "");
    const auto noAudio = InspectBytes("0123");
    EXPECT_EQ(Map(noAudio), "0+4 junk");
    EXPECT_TRUE(Noted(noAudio, Severity::Warning, 0, "no MPEG audio frame found"));
}

// Version 2.2: three-character IDs, a picture's three-letter format; UTF-8 at the edge of the
// three-byte forms; tag flags no version defines.
TEST(InspectId3v2, ReadsVersion22AndTheEdgesOfItsText) {
    const std::string png = std::string("\x89PNG\r\n\x1A\n", 8) + "data";
    const Inspection v22 =
        InspectBytes(Id3v2(2, Frame22("TT2", Text("Two")) + Frame22("PIC", std::string("\0PNG\x03"
                                                                                       "d\0",
                                                                                       7) +
                                                                               png)));
    ASSERT_EQ(v22.id3v2.size(), 1U);
    const auto& frames = v22.id3v2[0].frames;
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0].text, (Values{"Two"}));
    ASSERT_TRUE(frames[1].picture);
    EXPECT_EQ(frames[1].picture->mime, "PNG");
    EXPECT_EQ(frames[1].picture->typeName, "Cover (front)");
    EXPECT_EQ(frames[1].picture->description, "d");
    EXPECT_EQ(frames[1].picture->format, "png");

    const Inspection utf8 =
        InspectBytes(Id3v2(4, Frame24("TIT2", "\x03\xE0\xA0\x80") /* U+0800 */, 0x0F));
    EXPECT_EQ(utf8.id3v2.at(0).frames.at(0).text, (Values{"\xE0\xA0\x80"}));
    ASSERT_EQ(utf8.notes.size(), 1U);
    EXPECT_TRUE(Noted(utf8, Severity::Warning, 5, "tag flags not defined for ID3v2.4"));
    // U+D800, a surrogate, has no UTF-8 form.
    const Inspection surrogate = InspectBytes(Id3v2(4, Frame24("TIT2", "\x03\xED\xA0\x80")));
    EXPECT_TRUE(Noted(surrogate, Severity::Warning, 10, "not valid UTF-8"));
}

// A file of many tags full of text: what is kept of them is bounded over the whole file, not
// tag by tag, so later frames and items are shown cut short (with the usual note).
TEST(Inspect, KeepsABoundedAmountOfTextOverAllItsTags) {
    std::string file;
    for (int t = 0; t < 8; ++t) {
        std::string body;
        for (int f = 0; f < 4; ++f) {
            // A comment last, whose text is cut as a TXXX's is.
            body += Frame23(f == 3 ? "COMM" : "TXXX",
                            std::string(f == 3 ? "\0engd\0" : "\0d\0", f == 3 ? 6 : 3) +
                                std::string(60000, '\x01'));
        }
        file += Id3v2(3, body);
    }
    const std::int64_t apeAt = static_cast<std::int64_t>(file.size()) + 2 * 418;
    const Inspection in = InspectBytes(
        file + Audio(2) + fixture::ApeTag({{std::string(200, 'K'), std::string(100, 'v')}}));

    ASSERT_EQ(in.id3v2.size(), 8U);
    std::size_t held = 0;
    for (const auto& tag : in.id3v2) {
        ASSERT_EQ(tag.frames.size(), 4U);
        for (const auto& frame : tag.frames) {
            held += frame.text.value().at(0).size();
        }
    }
    EXPECT_EQ(in.id3v2[0].frames[0].text->at(0).size(), 60000U);
    EXPECT_LE(held, TextBudget::kBytes + kHeldBytes);
    const Id3v2Frame& last = in.id3v2[7].frames[3];
    EXPECT_LT(last.text->at(0).size(), TextBudget::kSpent);
    EXPECT_TRUE(Noted(in, Severity::Info, last.offset, "text shown cut"));
    ASSERT_EQ(in.apev2.at(0).items.size(), 1U);
    EXPECT_EQ(in.apev2[0].items[0].key, std::string(TextBudget::kSpent, 'K'));
    EXPECT_EQ(in.apev2[0].items[0].values.at(0).size(), TextBudget::kSpent);
    EXPECT_TRUE(Noted(in, Severity::Info, apeAt + 32, "shown cut at 16 of its bytes"));
}

// The edges of the walk and of the tag reader: a footer not re-read once the tags meet, a
// marker reaching into the leading tag, the item limit, the shortest Lyrics3 v1, a character
// past U+3FFFF, a MIME type only some know, padding noted once, a footer of version 3.
TEST(Inspect, KeepsToTheLimitsOfTagsAndFields) {
    const std::string footed = Id3v2(4, Frame24("TIT2", Text("A")), 0x10) + Id3v2Footer(12);
    EXPECT_EQ(Map(InspectBytes(footed + Id3v1({}))), "0+32 id3v2, 32+128 id3v1");
    const Inspection marker = InspectBytes(Id3v2(3, Frame23("TIT2", Text("LYRICS2"))) + "00");
    EXPECT_EQ(Map(marker), "0+28 id3v2, 28+2 junk");
    EXPECT_EQ(marker.notes.size(), 1U);  // only that no audio frame stands there
    const Inspection many =
        InspectBytes(fixture::ApeTag(std::vector<fixture::ApeItem>(1025, {"K", "v"})));
    EXPECT_EQ(many.apev2.at(0).items.size(), kMaxEntries);
    EXPECT_EQ(InspectBytes(Lyrics3v1("words")).lyrics3.at(0).fields.at(0).text, "words");
    EXPECT_EQ(Map(InspectBytes(Lyrics3v1(""))), "0+20 lyrics3");

    const std::string body = Frame24("TIT2", "\x01\xFF\xFE\x40\xDB\x41\xDC") +
                             Frame24("APIC", ApicData("image/webp", "", "RIFF1234WEBP")) + '\0' +
                             std::string(5000, 'x');
    const Inspection in = InspectBytes(Id3v2(4, body));
    EXPECT_EQ(in.id3v2.at(0).frames.at(0).text, (Values{"\xF3\xA0\x81\x81"}));
    ASSERT_EQ(in.notes.size(), 1U);
    EXPECT_EQ(in.notes[0].text, "the padding holds non-zero bytes");
    const auto tit2 = Frame24("TIT2", "\x03" + std::string(127, 'x'));
    EXPECT_FALSE(InspectBytes(Id3v2(4, tit2 + "junk")).id3v2.at(0).plainSizes);
    EXPECT_EQ(InspectBytes(Id3v2(3, tit2.substr(0, 12))).id3v2.at(0).frames.size(), 1U);
    EXPECT_TRUE(Noted(InspectBytes(Audio(2) + Id3v2Footer(0)), Severity::Error, 836, "footer"));
    EXPECT_FALSE(Noted(InspectBytes(Audio(2) + "3DI" + Bytes({3, 0, 0, 0, 0, 0, 0})),
                       Severity::Error, 836, "footer"));
}

// The report: "inspect" after "picture" in each file's object (null for a file that cannot be
// opened), an [Inspect] section whose tag text cannot forge a line, and the summary's counts.
TEST(InspectReport, AddsTheMemberTheSectionAndTheCounts) {
    TempFolder temp;
    const std::string path = (temp.Path() / "a.mp3").string();
    temp.Write("a.mp3", Id3v2(4, Frame24("TIT2", std::string("\x03Line\n[ID3v1]", 13)) +
                                     Frame24("TYER", Text("2001"))) +
                            Audio(2) + fixture::ApeTag({{"Cover", "xyz", 1}, {"Who", "Me"}}));
    const auto run = [&](std::vector<std::string> args) {
        std::ostringstream out, err;
        RunReport(args, out, err);
        return out.str();
    };
    const auto json = nlohmann::ordered_json::parse(
        run({"--inspect", "--json", "--summary", path, path + ".missing"}));
    const auto& file = json["files"][0];
    ASSERT_EQ(std::prev(file.end()).key(), "inspect");
    EXPECT_EQ(file["inspect"]["regions"][1]["kind"], "audio");
    EXPECT_EQ(file["inspect"]["id3v2"][0]["version"], "2.4.0");
    EXPECT_EQ(file["inspect"]["id3v2"][0]["frames"][0]["text"][0], "Line\n[ID3v1]");
    EXPECT_TRUE(json["files"][1]["inspect"].is_null());
    EXPECT_EQ(json["summary"]["inspect"]["withID3v2"]["4"], 1);
    EXPECT_EQ(json["summary"]["inspect"]["withNotes"]["warning"], 1);

    const std::string text = run({"--inspect", "--summary", path});
    EXPECT_NE(
        text.find(
            "[Inspect]\nsize\t979\nmap\n  0\t48\tid3v2\n  48\t836\taudio\n  884\t95\tapev2\n"),
        std::string::npos);
    EXPECT_NE(text.find("UTF-8 Line\\n[ID3v1]\n"), std::string::npos);
    EXPECT_NE(text.find("  Cover\tbinary\t3 bytes\n  Who\ttext\tMe\n"), std::string::npos);
    EXPECT_NE(text.find("Inspected with ID3v2.4\t1\n"), std::string::npos);
    EXPECT_EQ(run({path}).find("Inspect"), std::string::npos);

    // A text item's values, the empty Lyrics3 list, a tag line without flags.
    EXPECT_EQ(file["inspect"]["apev2"][0]["items"][1].at("values")[0], "Me");
    EXPECT_EQ(file["inspect"].at("lyrics3"), nlohmann::ordered_json::array());
    EXPECT_NE(text.find("\nID3v2 2.4.0 at 0, 48 bytes, padding 0\n"), std::string::npos);
}
