// The whole analysis of one file: every reader and pane, from file to file; the export of its
// picture; and every reader and the export on every cut of a file and with each of its reads
// failing in turn.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>

#include "common/mod__HelperFunctions.h"
#include "picture/mod_MP3ID3_Picture.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

const std::string kPng = Bytes({0x89, 'P', 'N', 'G'}) + "png body";
const std::string kJpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0}) + "jpeg body" + Bytes({0xFF, 0xD9});

// A file with every kind of tag, a compressed frame and a picture included; the first MPEG
// header lies past the scan's first block.
std::string EveryTag() {
    return Id3v2(3, Frame23("TIT2", Text("Title")) + CompressedFrame23("TXXX", Text("a\0b")) +
                        Frame23("PCNT", BigEndian(258, 4)) +
                        Frame23("APIC", ApicData("image/png", "d", kPng)) + std::string(32, '\0')) +
           std::string(4100, '\x11') + MpegFrame() + MpegFrame() + std::string(5300, '\x55') +
           Lyrics3v2({{"AUT", "me"}, {"LYR", "words"}}) +
           Id3v1({"Title", "Artist", "Album", "2001", "", 3, 13});
}

using Reader = std::function<void(MemoryFileAccess&, MemoryMessageBox&)>;

// Runs a reader on every cut of the file and with each of its reads failing in turn; every run
// must close what it opened.
void Sweep(const std::string& good, const Reader& run) {
    const auto once = [&](const std::string& bytes, long failing) {
        // Any check that fails inside the run names the cut and the failing read.
        SCOPED_TRACE("file cut to " + std::to_string(bytes.size()) + " of " +
                     std::to_string(good.size()) + " bytes, read " + std::to_string(failing) +
                     (failing < 0 ? " (none)" : "") + " failing");
        MemoryFileAccess files;
        MemoryMessageBox messages;
        files.Put("f.mp3", bytes);
        files.failRead = failing;
        run(files, messages);
        EXPECT_EQ(files.openHandles, 0);
        return files.reads;
    };
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        once(good.substr(0, cut), -1);
    }
    const long reads = once(good, -1);
    ASSERT_GT(reads, 0);
    for (long failing = 0; failing < reads; ++failing) {
        once(good, failing);
    }
}

struct Export {
    int result = 0;
    std::string name;
    std::optional<std::string> written;
    std::string messages;  // "title: text (icon)" each, one a line
    std::vector<std::string> opened;
};

// Analyses the file, then clicks the pane's row with the given "TAG" text.
Export Click(const std::string& file, const std::string& tag = "APIC",
             const std::function<void(Harness&)>& prepare = {}) {
    Harness h;
    h.Analyse("song.mp3", file);
    if (prepare) {
        prepare(h);
    }
    h.messages.Clear();
    Export e;
    e.result = PictureRowClick(h.state, tag, h.services, "out", true, e.name);
    if (const std::string* bytes = e.name.empty() ? nullptr : h.files.Get(e.name)) {
        e.written = *bytes;
    }
    for (const auto& m : h.messages.Messages()) {
        e.messages +=
            m.title + ": " + m.text + " (" + std::to_string(static_cast<int>(m.icon)) + ")\n";
    }
    e.opened = h.window.opened;
    EXPECT_FALSE(h.window.busy);
    EXPECT_EQ(h.files.openHandles, 0);
    return e;
}

std::string WithPicture(const std::string& apicFrames) {
    return Id3v2(3, Frame23("TIT2", Text("Song")) + apicFrames) + MpegFrame();
}

}  // namespace

// Every pane filled, the file opened once a reader; then nothing of one file shows with the
// next: a file without an MPEG header, whose tag holds no frame and whose lyrics have no
// fields, the first file deleted after it was listed, and a file in a drive's root like the
// first.
TEST(AnalysisDriver, ShowsEachFileOnItsOwnOpeningItOnceAReader) {
    Harness h;
    h.files.Put("C:\\Music\\all.mp3", EveryTag());
    h.state.sActualPath = "C:\\Music";
    AnalyseListedFile(h.state, "all.mp3", h.panes, h.services);
    EXPECT_EQ(h.files.opens, 5);
    EXPECT_EQ(h.files.openHandles + h.window.suspendDepth, 0);
    EXPECT_TRUE(h.state.Presence.HasID3v2 && h.state.Presence.HasID3v1 &&
                h.state.Presence.HasLyrics3);
    EXPECT_EQ(h.mpegPane.CellText(1, 1), "4232    (0x1088)");
    EXPECT_EQ(Dump(h.id3v2Pane, 3),
              "\t    ID3 Version\t3\n"
              "APIC\tPicture\tAVAILLABLE (26) bytes,        click this line to view\n"
              "PCNT\tPlay counter\tFile has been played 258 times\n"
              "TIT2\tTitle\tTitle\n"
              "TXXX\tUser defined text information frame\ta\n");
    const std::string first = h.Panes();
    EXPECT_EQ(first.substr(first.size() - 5), "words");
    h.Analyse("plain.mp3",
              Id3v2(3, Frame23("T T2", Text("x"))) + std::string(5955, '\x11') + Lyrics3v1("one"));
    EXPECT_EQ(
        h.Panes(),
        "Filelength\t6000\nHeader at\t0    (0x0)\nDuration\t00:00:00\nBitrate\t0\n"
        "Samplerate\t0\nFramesize\t0\nNum Frames\t0\nVBR\tFalse\nLayer\tMPEG 0 Layer 0\n"
        "Emphasis\tno\nMode\tstereo\nOriginal\tFalse\nPadding\tFalse\nPrivate\tFalse\n"
        "Protection\tFalse\nCopyright\tFalse\nNO\tNO\tID3 INFORMATION FOUND\nNO\tTAG FOUND\n"
        "Author : \r\nArtist : \r\nAlbum : \r\nTitle : \r\nImage : \r\nINFO : \r\noneLYRICS \r\n");
    h.files.Remove("C:\\Music\\all.mp3");
    AnalyseListedFile(h.state, "all.mp3", h.panes, h.services);
    EXPECT_EQ(h.Panes(), kNotFoundPanes);
    h.files.Put("C:\\a.mp3", EveryTag());
    h.state.sActualPath = "C:";
    AnalyseListedFile(h.state, "a.mp3", h.panes, h.services);
    EXPECT_EQ(h.state.sActualFile, "C:\\a.mp3");
    EXPECT_EQ(h.Panes(), first);
    EXPECT_TRUE(h.messages.Messages().empty());
}

TEST(ExportPicture, NamesTheFileAfterTheMimeTypeOnlyForKnownImageTypes) {
    const std::pair<const char*, const char*> cases[] = {
        {"image/png", "out/image.png"},
        {"IMAGE/PNG", "out/image.PNG"},
        {"image/JPEG", "out/image.jpg"},
        // Untrusted extensions: a path out of the folder, a runnable type.
        {"image/../../x", "out/image.bmp"},
        {"image/desktop", "out/image.bmp"},
        {"image", "out/image.bmp"}};
    for (const auto& [mime, name] : cases) {
        const auto e = Click(WithPicture(Frame23("APIC", ApicData(mime, "", kPng))));
        EXPECT_EQ(e.name, name) << mime;
        EXPECT_EQ(e.written, kPng) << mime;  // the start still found by signature
    }
}

// The picture starts at the first signature behind the description's terminator; without a
// terminator, at the first signature in the description; without "image" in the MIME type,
// at the description. The frame is scanned chunk by chunk; the first picture frame counts.
TEST(ExportPicture, WritesFromTheFirstSignatureBehindTheDescriptionAndOpensIt) {
    const std::string far(70'000, 'd');
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"no image type", ApicData("JPG", "desc", kJpeg), "desc" + std::string(1, '\0') + kJpeg},
        {"a signature in the description", ApicData("image/png", "\x89PNG in it", kJpeg), kJpeg},
        {"a long description, two signatures", ApicData("image/png", far, kPng + far + kPng),
         kPng + far + kPng},
        {"no terminator", Bytes({0}) + "image/png" + Bytes({0, 3}) + kPng, kPng},
    };
    for (const auto& [what, data, written] : cases) {
        const auto e = Click(WithPicture(Frame23("APIC", data)));
        EXPECT_EQ(e.written, written) << what;
        EXPECT_EQ(e.opened, std::vector<std::string>{e.name}) << what;
    }
    EXPECT_EQ(Click(WithPicture(Frame23("APIC", ApicData("image/jpeg", "", kJpeg)) +
                                Frame23("APIC", ApicData("image/png", "", kPng))))
                  .written,
              kJpeg);
}

// The declared size of a compressed picture is not trusted: the stream decides, past the
// frames' own cap of 1 MiB too.
TEST(ExportPicture, InflatesACompressedPictureWhole) {
    const std::string data = ApicData("image/png", "d", kPng);
    for (const std::uint32_t declared : {static_cast<std::uint32_t>(data.size()), 0xFFFFFFFFU}) {
        EXPECT_EQ(Click(WithPicture(CompressedFrame23("APIC", data, declared))).written, kPng)
            << declared;
    }
    const std::string cover = kPng + std::string(17U << 20, 'p');
    const std::string big = ApicData("image/png", "", cover);
    const auto e = Click(WithPicture(CompressedFrame23("APIC", big)));
    EXPECT_EQ(e.result, 1);
    ASSERT_TRUE(e.written);
    EXPECT_TRUE(*e.written == cover);
}

// Each row: a file, the row clicked, what happens before the click, the result and the message;
// nothing is written and nothing goes to the shell.
TEST(ExportPicture, HandsNothingToTheShellWhenNoPictureWasWritten) {
    const std::string png = WithPicture(Frame23("APIC", ApicData("image/png", "", kPng)));
    const std::string pic22 = Id3v2(2, Frame22("PIC", "PNG\x03" + std::string(1, '\0') + kPng));
    const auto nothing = [](Harness&) {};
    const auto noCreate = [](Harness& h) { h.files.failCreate = true; };
    const auto gone = [](Harness& h) { h.files.Remove("song.mp3"); };
    const auto changed = [](Harness& h) { h.files.Put("song.mp3", MpegFrame()); };
    const std::string noSignature = WithPicture(Frame23("APIC", ApicData("image/png", "", "no")));
    const std::tuple<const char*, std::string, std::string, std::function<void(Harness&)>, int,
                     std::string>
        cases[] = {
            {"a version 2.2 tag", pic22, "APIC", nothing, 0, ""},
            {"no picture frame", WithPicture(""), "APIC", nothing, 0, ""},
            {"no signature", noSignature, "APIC", nothing, -1,
             "GetPicture: no picture signature before the end of the frame (0)\n"},
            {"cannot create", png, "APIC", noCreate, -1,
             "GetPicture: Cannot Write\r\nmay be file is in use by another application (2)\n"},
            {"file gone", png, "APIC", gone, -1, ""},
            {"file changed", png, "APIC", changed, -1, ""},
        };
    for (const auto& [what, file, row, prepare, result, message] : cases) {
        const auto e = Click(file, row, prepare);
        EXPECT_EQ(e.result, result) << what;
        EXPECT_EQ(e.messages, message) << what;
        EXPECT_FALSE(e.written) << what;
        EXPECT_TRUE(e.opened.empty()) << what;
    }
}

// A fault of the host while a step runs ends the step with its message box, the pointer
// restored: memory running out in each reader of an analysis, and any fault in the export.
TEST(AnalysisDriver, EndsEachStepThatFailsWithItsMessage) {
    Harness h;
    h.Analyse("a.mp3", EveryTag());
    h.files.onOpen = [] { throw std::bad_alloc(); };
    h.Analyse("a.mp3");
    std::string titles;
    for (const auto& m : h.messages.Messages()) {
        EXPECT_EQ(m.text, "Out of memory");
        titles += m.title + " ";
    }
    EXPECT_EQ(titles, "BinHeader ReadID3nfo ReadID1 GetLyrics ");
    EXPECT_FALSE(h.state.Presence.HasID3v2);
    EXPECT_EQ(h.window.suspendDepth, 0);

    h.files.onOpen = nullptr;
    h.messages.Clear();
    h.Analyse("song.mp3", WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))));
    h.files.onOpen = [] { throw std::runtime_error("device not ready"); };
    std::string name;
    EXPECT_EQ(PictureRowClick(h.state, "APIC", h.services, "out", true, name), -1);
    EXPECT_FALSE(h.window.busy);
    ASSERT_EQ(h.messages.Messages().size(), 1U);
    EXPECT_EQ(h.messages.Messages()[0].title + ": " + h.messages.Messages()[0].text,
              "Showpicture: device not ready");
    EXPECT_TRUE(h.window.opened.empty());
}

// The window's toolkit sets the C library's locale from the desktop; a comma as decimal mark
// must change no number read from a tag (a size, a length, a Lyrics3 field's length "002.7")
// or printed into a pane (a huge play counter).
TEST(AnalysisDriver, ReadsAndPrintsNumbersTheSameUnderACommaDecimalLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr) << "dev/test makes de_DE.UTF-8";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    Harness h;
    h.Analyse("song.mp3",
              Id3v2(3, Frame23("TSIZ", Text("2.7")) + Frame23("TLEN", Text("61999.5e0")) +
                           Frame23("PCNT", "\x01" + std::string(kMaxExactCounterBytes, '\0'))) +
                  MpegFrame() + std::string(6000, 'x') + "LYRICSBEGINLYR002.7words000024LYRICS200" +
                  Id3v1({"T", "", "", "", "", 0, 0}));
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(Dump(h.id3v2Pane, 3).substr(19),
              "TLEN\tLength\t00:01:01\nPCNT\tPlay counter\tFile has been played 1.415461E+9864 "
              "times\nTSIZ\tSize\t3 bytes\n");
    EXPECT_EQ(h.state.Lyrics.Lyrics, "wor");
}

// Each reader in turn meets every cut of the file and each failing read, as the driver runs it.
TEST(FaultSweep, EveryReaderEndsInADocumentedState) {
    Sweep(EveryTag(), [](MemoryFileAccess& files, MemoryMessageBox&) {
        AnalysisBundle run(files);
        run.Analyse("f.mp3");
        const MemoryMessageBox& messages = run.messages;
        const AnalysisState& state = run.state;
        const TagPresence& p = state.Presence;
        EXPECT_EQ(p.HasLyrics3, p.Lyrics3EndFound);
        EXPECT_TRUE(p.HasID3v2 || p.ID3v2Version == 0);
        const std::string& bytes = *files.Get("f.mp3");
        EXPECT_EQ(state.Mpeg.FileSize, bytes.size());
        EXPECT_TRUE(state.Mpeg.Bitrate == 0 || state.Mpeg.HeaderOffset < state.Mpeg.FileSize);
        // The tag reader's one fault, and no other message.
        ASSERT_LE(messages.Messages().size(), 1U);
        if (!messages.Messages().empty()) {
            EXPECT_EQ(messages.Messages()[0].title, "ReadID3-SF");
            EXPECT_EQ(state.Id3v2Header.FramesRead, 0);
        }
        EXPECT_LE(static_cast<std::size_t>(state.Id3v2Header.FramesRead), state.Id3v2Frames.size());
        if (state.Id3v1.Present) {
            ASSERT_GE(bytes.size(), 128U);
            EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
        }
    });
}

TEST(FaultSweep, ThePictureExportEndsWithAResultAndAtMostOneMessage) {
    const std::string good = EveryTag();
    Harness reference;
    reference.Analyse("f.mp3", good);
    Sweep(good, [&](MemoryFileAccess& files, MemoryMessageBox& messages) {
        std::string name;
        const int result = ExportPicture(files, messages, "f.mp3", reference.state.Id3v2Header,
                                         reference.state.Id3v2Frames, "out", name);
        EXPECT_TRUE(result == 1 || (result == -1 && messages.Messages().size() <= 1U));
        if (result == 1) {
            // A file cut inside the picture gives the picture up to the end of the file.
            const std::string& written = *files.Get(name);
            EXPECT_EQ(kPng.substr(0, written.size()), written);
        }
    });
}
