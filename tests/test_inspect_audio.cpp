// The audio inspection over streams built byte by byte: where the VBR headers stand, what the
// LAME extension says, how the walk counts frames and where it finds the stream broken.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "inspect/mod_InspectAudio.h"
#include "report/mod_ReportInspectAudio.h"
#include "report/mod_ReportJsonWriter.h"
#include "support/Mp3Builder.h"

namespace {

using namespace veltrane;
using namespace veltrane::inspect;
using namespace fixture;
using namespace fixture::audio;

// A file of the given bytes, or of zeros (a hole) between holeFrom and holeTo; it says where
// data starts again and counts the bytes read, as a sparse file would.
class TestFile final : public InputFile {
  public:
    explicit TestFile(std::string bytes, std::int64_t holeFrom = 0, std::int64_t holeTo = 0,
                      std::string after = "")
        : bytes_(std::move(bytes)),
          after_(std::move(after)),
          holeFrom_(holeFrom),
          holeTo_(holeTo) {}
    std::int64_t Size() const override {
        return holeTo_ > 0 ? holeTo_ + static_cast<std::int64_t>(after_.size())
                           : static_cast<std::int64_t>(bytes_.size());
    }
    std::size_t ReadAt(std::int64_t offset, std::span<char> buffer) override {
        std::size_t n = 0;
        for (; n < buffer.size() && offset + static_cast<std::int64_t>(n) < Size(); ++n) {
            const std::int64_t at = offset + static_cast<std::int64_t>(n);
            buffer[n] =
                at < static_cast<std::int64_t>(bytes_.size()) ? bytes_[static_cast<std::size_t>(at)]
                : holeTo_ > 0 && at >= holeTo_ ? after_[static_cast<std::size_t>(at - holeTo_)]
                                               : '\0';
        }
        bytesRead += n;
        return n;
    }
    std::int64_t DataFrom(std::int64_t offset) override {
        return offset >= holeFrom_ && offset < holeTo_ ? holeTo_ : offset;
    }
    std::int64_t bytesRead = 0;

  private:
    std::string bytes_, after_;
    std::int64_t holeFrom_, holeTo_;
};

struct Result {
    std::optional<AudioInspection> audio;
    std::vector<Region> regions;
    std::vector<Note> notes;

    // The notes' texts joined, to look for one.
    std::string Notes() const {
        std::string all;
        for (const auto& note : notes) {
            all += std::string(SeverityName(note.severity)) + "@" + std::to_string(note.offset) +
                   ": " + note.text + "\n";
        }
        return all;
    }
    std::string Kinds() const {
        std::string all;
        for (const auto& r : regions) {
            all += r.kind + "@" + std::to_string(r.offset) + "+" + std::to_string(r.length) + " ";
        }
        return all;
    }
};

Result Inspect(InputFile& file, bool scan, std::int64_t begin = 0, std::int64_t end = -1) {
    ByteView view(file, 4096, 64 * 1024);
    Result r;
    if (end < 0) {
        end = file.Size();
    }
    r.audio = InspectAudio(view, begin, end, scan, r.regions, r.notes);
    // Whatever the input: the regions cover exactly [begin, end), in order, none empty.
    std::int64_t at = begin;
    for (const auto& region : r.regions) {
        EXPECT_EQ(region.offset, at) << r.Kinds();
        EXPECT_GT(region.length, 0) << r.Kinds();
        at += region.length;
    }
    EXPECT_EQ(at, end) << r.Kinds();
    return r;
}
Result Inspect(const std::string& bytes, bool scan, std::int64_t begin = 0, std::int64_t end = -1) {
    TestFile file(bytes);
    return Inspect(file, scan, begin, end);
}

TEST(InspectAudio, XingStandsWhereVersionAndChannelModeSayWithOrWithoutScan) {
    struct Case {
        int b1, b2, b3;
        std::string version;
        std::size_t offset;
        int samples;
    };
    for (const Case& c : {Case{0xFB, 0x90, 0x44, "1", 36, 1152},     // MPEG-1 stereo
                          Case{0xFB, 0x90, 0xC4, "1", 21, 1152},     // MPEG-1 mono
                          Case{0xF3, 0x80, 0x44, "2", 21, 576},      // MPEG-2 stereo
                          Case{0xF3, 0x80, 0xC4, "2", 13, 576},      // MPEG-2 mono
                          Case{0xE3, 0x80, 0xC4, "2.5", 13, 576},    // MPEG-2.5 mono
                          Case{0xFA, 0x90, 0x44, "1", 38, 1152}}) {  // MPEG-1 with CRC
        SCOPED_TRACE(c.offset);
        EXPECT_EQ(XingOffset(c.b1, c.b3), c.offset);
        const std::string header =
            XingFrame({.frames = 7, .bytes = 9999}, std::nullopt, c.b1, c.b2, c.b3);
        const std::string file = "ID3-ish" + header + Frames(7, c.b1, c.b2, c.b3);
        for (const bool scan : {false, true}) {
            const auto r = Inspect(file, scan, 7);
            ASSERT_TRUE(r.audio) << r.Notes();
            EXPECT_EQ(r.audio->version, c.version);
            EXPECT_EQ(r.audio->layer, 3);
            EXPECT_EQ(r.audio->crc, c.b1 == 0xFA);
            ASSERT_TRUE(r.audio->vbrHeader);
            EXPECT_EQ(r.audio->vbrHeader->kind, "Xing");
            EXPECT_EQ(r.audio->vbrHeader->offset, 7);
            EXPECT_EQ(r.audio->vbrHeader->frames, 7);
            EXPECT_EQ(r.audio->vbrHeader->bytes, 9999);
            EXPECT_TRUE(r.audio->vbrHeader->toc);
            EXPECT_EQ(r.audio->vbrHeader->quality, 57);
            EXPECT_EQ(r.audio->frames, 7);
            EXPECT_EQ(r.audio->samples, 7 * c.samples);
            EXPECT_FALSE(r.audio->estimated);
            EXPECT_EQ(r.audio->offset, 7);
            EXPECT_EQ(r.Kinds(), "vbr-header@7+" + std::to_string(header.size()) + " audio@" +
                                     std::to_string(7 + header.size()) + "+" +
                                     std::to_string(file.size() - 7 - header.size()) + " ");
            EXPECT_EQ(r.Notes(), "");
        }
    }
    // LAME writes its header frame's fields where they would stand without the CRC.
    std::string lame = XingFrame({.frames = 2});
    lame[1] = static_cast<char>(0xFA);
    const auto r = Inspect(lame + Frames(2, 0xFA), false);
    ASSERT_TRUE(r.audio && r.audio->vbrHeader);
    EXPECT_EQ(r.audio->frames, 2);
}

TEST(InspectAudio, InfoWithLameTagGivesGaplessLengthAndChecksItsCrc) {
    const Lame lame{.delay = 576, .padding = 1234, .radioGain = 0x2000 | 0x0400 | 0x200 | 65};
    const std::string file = XingFrame({.tag = "Info", .frames = 20}, lame) + Frames(20);
    for (const bool scan : {false, true}) {
        const auto r = Inspect(file, scan);
        ASSERT_TRUE(r.audio && r.audio->encoder);
        EXPECT_EQ(r.audio->vbrHeader->kind, "Info");
        EXPECT_EQ(r.audio->bitrate.mode, "CBR");
        const auto& e = *r.audio->encoder;
        EXPECT_EQ(e.version, "LAME3.100");
        EXPECT_EQ(e.method, "vbr-2");
        EXPECT_EQ(e.lowpass, 19500);
        EXPECT_EQ(e.delay, 576);
        EXPECT_EQ(e.padding, 1234);
        ASSERT_EQ(e.replayGain.size(), 1U);
        EXPECT_EQ(e.replayGain[0].name, "radio");
        EXPECT_EQ(e.replayGain[0].originator, "preset");
        EXPECT_DOUBLE_EQ(e.replayGain[0].gain, -6.5);
        EXPECT_TRUE(e.crcOk);
        EXPECT_EQ(r.audio->samples, 20 * 1152 - 576 - 1234);
        EXPECT_DOUBLE_EQ(r.audio->duration, (20 * 1152 - 576 - 1234) / 44100.0);
        EXPECT_EQ(r.Notes(), "");
    }
    // ABR said by the encoder; a tag whose CRC does not match; another encoder's name.
    const std::string bad =
        XingFrame({.frames = 3}, Lame{.version = "Lavc58.91", .method = 2, .badCrc = true}) +
        Frames(3);
    const auto r = Inspect(bad, true);
    ASSERT_TRUE(r.audio && r.audio->encoder);
    EXPECT_EQ(r.audio->encoder->version, "Lavc58.91");
    EXPECT_FALSE(r.audio->encoder->crcOk);
    EXPECT_EQ(r.audio->bitrate.mode, "ABR");
    EXPECT_NE(r.Notes().find("warning@0: the LAME tag's CRC"), std::string::npos) << r.Notes();
    // The CRC itself: CRC-16/ARC's check value.
    EXPECT_EQ(LameCrc(std::string_view("123456789")), 0xBB3D);
}

TEST(InspectAudio, VbriAndVbrStreamsAndWhatTheScanFindsAgainstTheHeader) {
    // VBRI at its fixed place; the walk finds two bit rates.
    const std::string vbr = VbriFrame(4, 5000) + Frames(2) + Frames(2, 0xFB, 0xA0);
    auto r = Inspect(vbr, true);
    ASSERT_TRUE(r.audio && r.audio->vbrHeader);
    EXPECT_EQ(r.audio->vbrHeader->kind, "VBRI");
    EXPECT_EQ(r.audio->vbrHeader->frames, 4);
    EXPECT_EQ(r.audio->vbrHeader->bytes, 5000);
    EXPECT_EQ(r.audio->vbrHeader->delay, 1105);
    EXPECT_EQ(r.audio->bitrate.mode, "VBR");
    EXPECT_EQ(r.audio->bitrate.min, 128000);
    EXPECT_EQ(r.audio->bitrate.max, 160000);
    EXPECT_EQ(r.audio->frames, 4);
    EXPECT_EQ(r.Notes(), "");

    // A header that miscounts; a VBR stream without any header.
    r = Inspect(XingFrame({.frames = 9}) + Frames(5), true);
    EXPECT_EQ(r.audio->frames, 5);
    EXPECT_NE(r.Notes().find("counts 9 frames; the stream holds 5"), std::string::npos);
    r = Inspect(Frames(3) + Frames(3, 0xFB, 0xB0), true);
    EXPECT_EQ(r.audio->bitrate.mode, "VBR");
    EXPECT_NE(r.Notes().find("without a VBR header"), std::string::npos);

    // Without a scan and without a count, the duration is estimated from the first frame's
    // bit rate over the span alone.
    r = Inspect(Frames(10) + "TAG", false, 0, 4170);
    EXPECT_TRUE(r.audio->estimated);
    EXPECT_EQ(r.audio->frames, 10);
    EXPECT_NEAR(r.audio->duration, 4170 * 8 / 128000.0, 1 / 44100.0);
    EXPECT_EQ(r.audio->bitrate.mode, "CBR");
}

TEST(InspectAudio, BreaksJunkAndTruncationAreMappedAndNoted) {
    // Junk before the audio, a lost sync inside it, a frame cut at the end.
    const std::string junk = "\xFF\xFB\x90junk";  // a false header start inside
    const std::string file =
        "xyz" + junk + Frames(3) + "garbage!" + Frames(2) + Frame().substr(0, 100);
    const auto r = Inspect(file, true);
    ASSERT_TRUE(r.audio);
    const std::int64_t start = 3 + static_cast<std::int64_t>(junk.size());
    EXPECT_EQ(r.audio->offset, start);
    EXPECT_EQ(r.audio->frames, 5);
    ASSERT_EQ(r.audio->breaks.size(), 2U);
    const std::int64_t lost = start + 3 * 417;
    EXPECT_EQ(r.audio->breaks[0].offset, lost);
    EXPECT_EQ(r.audio->breaks[0].length, 8);
    EXPECT_EQ(r.audio->breaks[0].kind, "junk");
    EXPECT_EQ(r.audio->breaks[1].offset, lost + 8 + 2 * 417);
    EXPECT_EQ(r.audio->breaks[1].length, 100);
    EXPECT_EQ(r.audio->breaks[1].kind, "truncated");
    EXPECT_EQ(r.audio->length, lost + 8 + 2 * 417 - start);
    EXPECT_EQ(r.Kinds(), "junk@0+10 audio@10+1251 junk@1261+8 audio@1269+834 junk@2103+100 ");
    EXPECT_EQ(r.Notes(),
              "warning@0: 10 bytes of junk before the first frame\n"
              "error@1261: lost sync: 8 bytes with no frame header; the stream is found again at "
              "1269\n"
              "error@2103: the last frame is cut: 100 of its 417 bytes are there\n");

    // Frames that change version mid-stream keep being counted, each at its own rate.
    const auto changed = Inspect(Frames(2) + Frames(2, 0xF3, 0x80), true);
    EXPECT_EQ(changed.audio->frames, 4);
    EXPECT_DOUBLE_EQ(changed.audio->duration, 2 * 1152 / 44100.0 + 2 * 576 / 22050.0);
    EXPECT_NE(changed.Notes().find("warning@834: the frames change from MPEG-1 Layer III 44100 "
                                   "Hz to MPEG-2 Layer III 22050 Hz"),
              std::string::npos)
        << changed.Notes();

    EXPECT_EQ(Inspect("x" + Frames(2), false).Notes(),
              "warning@0: 1 byte of junk before the first frame\n");

    // No frame a next header confirms: the span is junk, and nothing else is said.
    const auto none = Inspect("abc" + Frame().substr(0, 300) + "def", true);
    EXPECT_FALSE(none.audio);
    EXPECT_EQ(none.Kinds(), "junk@0+306 ");
    EXPECT_EQ(Inspect(std::string(), true).regions.size(), 0U);
}

TEST(InspectAudio, FreeFormatFramesAreMeasuredByTheirDistance) {
    std::string file;
    for (int i = 0; i < 5; ++i) {
        file += Frame(0xFB, 0x00, 0x44, 0x55, 600);
    }
    const auto r = Inspect(file, true);
    ASSERT_TRUE(r.audio);
    EXPECT_EQ(r.audio->frames, 5);
    EXPECT_EQ(r.audio->bitrate.mode, "free");
    EXPECT_EQ(r.audio->bitrate.min, 600 * 8 * 44100 / 1152);
    EXPECT_TRUE(r.audio->breaks.empty());
    EXPECT_NE(r.Notes().find("info@0: free-format stream"), std::string::npos);

    // A last free-format frame shorter than the others is no frame.
    const auto cut = Inspect(file + Frame(0xFB, 0x00, 0x44, 0x55, 100), true);
    EXPECT_EQ(cut.audio->frames, 5);
    ASSERT_EQ(cut.audio->breaks.size(), 1U);
    EXPECT_EQ(cut.audio->breaks[0].offset, 3000);

    // Two free-format headers in junk, a distance apart that nothing repeats, make no stream.
    const std::string junk =
        Frame(0xFB, 0x00, 0x44, 0x55, 300) + Frame(0xFB, 0x00, 0x44, 0x55, 500);
    const auto j = Inspect(junk + Frames(3), true);
    ASSERT_TRUE(j.audio);
    EXPECT_EQ(j.audio->offset, 800);
    EXPECT_EQ(j.audio->bitrate.mode, "CBR");
}

TEST(InspectAudio, MemoryAndReadsStayBoundedOnHostileStreams) {
    // Thousands of breaks: a byte of junk after every second frame.
    std::string broken;
    for (int i = 0; i < 3000; ++i) {
        broken += Frames(2) + "!";
    }
    auto r = Inspect(broken, true);
    ASSERT_TRUE(r.audio);
    EXPECT_EQ(r.audio->frames, 6000);
    EXPECT_EQ(r.audio->breaks.size(), 1000U);
    EXPECT_EQ(r.audio->moreBreaks, 2000);
    EXPECT_LE(r.regions.size(), 2002U);
    EXPECT_NE(r.Notes().find("2000 more breaks"), std::string::npos);

    // A hole of 1 GiB inside the stream is stepped over, not read.
    TestFile sparse(Frames(4), 4 * 417, std::int64_t{1} << 30, Frames(4));
    r = Inspect(sparse, true);
    ASSERT_TRUE(r.audio);
    EXPECT_EQ(r.audio->frames, 8);
    ASSERT_EQ(r.audio->breaks.size(), 1U);
    EXPECT_EQ(r.audio->breaks[0].length, (std::int64_t{1} << 30) - 4 * 417);
    EXPECT_LT(sparse.bytesRead, 4 << 20);
}

// The longest free-format frame still measured, and the changes of stream listed in full up to
// their limit and counted past it.
TEST(InspectAudio, LimitsHoldUpToTheirLastUnit) {
    const std::string longest = Frame(0xFB, 0x00, 0x44, 0x55, 8192);
    EXPECT_EQ(Inspect(longest + longest, true).Kinds(), "audio@0+16384 ");
    std::string flips = Frames(2);
    for (int i = 1; i <= 101; ++i) {
        flips += Frames(2, i % 2 ? 0xF3 : 0xFB);
        if (i >= 100) {
            EXPECT_EQ(Inspect(flips, true).Notes().find(" more changes") != std::string::npos,
                      i == 101);
        }
    }
}

TEST(InspectAudio, ReportGivesTheJsonMembersAndReadableLines) {
    const std::string file =
        XingFrame({.frames = 2}, Lame{.radioGain = 0x2000 | 0x0400 | 65}) + Frames(2) + "junk";
    const auto r = Inspect(file, true);
    const auto audioJson = [](const std::optional<AudioInspection>& audio) {
        std::string out;
        JsonWriter writer(out);
        AppendInspectAudioJson(writer, audio);
        return nlohmann::json::parse(out);
    };
    const auto json = audioJson(r.audio);
    EXPECT_EQ(json["version"], "1");
    EXPECT_EQ(json["vbrHeader"]["kind"], "Xing");
    EXPECT_EQ(json["vbrHeader"]["toc"], true);
    EXPECT_EQ(json["encoder"]["delay"], 576);
    EXPECT_EQ(json["encoder"]["crcOk"], true);
    EXPECT_EQ(json["bitrate"]["mode"], "CBR");
    EXPECT_EQ(json["breaks"][0]["kind"], "junk");
    EXPECT_TRUE(audioJson(std::nullopt).is_null());
    std::string text;
    AppendInspectAudioText(r.audio, text);
    EXPECT_EQ(text,
              "audio\toffset 0\tlength 1251\n"
              "  MPEG-1 Layer III, 44100 Hz, joint stereo, emphasis none, no CRC\n"
              "  frames 2, samples 728, duration 0.017 s\n"
              "  bitrate CBR, min 128000, max 128000, average 404169 bit/s\n"
              "  VBR header Xing at 0: frames 2, bytes -, TOC yes, quality 57\n"
              "  encoder LAME3.100: method vbr-2, lowpass 19500 Hz, delay 576, padding 1000, radio "
              "gain 6.5 dB, CRC ok\n"
              "  break at 1251: 4 bytes, junk\n");
}

}  // namespace
