#include <gtest/gtest.h>

#include "picture/mod_MP3ID3_Picture.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

using namespace veltrane;
using namespace fixture;

namespace {

const std::string kJpeg = Bytes({0xFF, 0xD8, 0xFF, 0xE0}) + "jpeg body" + Bytes({0xFF, 0xD9});
const std::string kPng = Bytes({0x89, 'P', 'N', 'G'}) + "png body";

struct Export {
    int result = 0;
    std::string name;
    std::optional<std::string> written;
    std::vector<MemoryMessageBox::Message> messages;
    std::vector<std::string> opened;
    // The one message's title, text and icon, or "" without one.
    std::string Message() const {
        if (messages.size() != 1) {
            return messages.empty() ? "" : "several messages";
        }
        return messages[0].title + ": " + messages[0].text + " (" +
               std::to_string(static_cast<int>(messages[0].icon)) + ")";
    }
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
    e.messages = h.messages.Messages();
    e.opened = h.window.Opened();
    EXPECT_FALSE(h.window.Busy());
    EXPECT_EQ(h.files.OpenHandles(), 0);
    return e;
}

std::string WithPicture(const std::string& apicFrames) {
    return Id3v2(3, Frame23("TIT2", Text("Song")) + apicFrames) + MpegFrame();
}

std::string Compressed(const std::string& data, std::uint32_t declared) {
    return "APIC" + BigEndian(4 + Compress(data).size(), 4) + Bytes({0, 0x80}) +
           BigEndian(declared, 4) + Compress(data);
}

}  // namespace

TEST(ExportPicture, NamesTheFileAfterTheMimeTypeOnlyForKnownImageTypes) {
    const std::pair<const char*, const char*> cases[] = {
        {"image/png", "out/image.png"},
        {"IMAGE/PNG", "out/image.PNG"},
        {"image/JPEG", "out/image.jpg"},
        {"image/jpg", "out/image.jpg"},
        {"image/gif", "out/image.gif"},
        {"image/webp", "out/image.webp"},
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
// frames' own cap of 16 MiB too.
TEST(ExportPicture, InflatesACompressedPictureWhole) {
    const std::string data = ApicData("image/png", "d", kPng);
    for (const std::uint32_t declared : {static_cast<std::uint32_t>(data.size()), 0xFFFFFFFFU}) {
        EXPECT_EQ(Click(WithPicture(Compressed(data, declared))).written, kPng) << declared;
    }
    const std::string cover = kPng + std::string(17U << 20, 'p');
    const std::string big = ApicData("image/png", "", cover);
    const auto e = Click(WithPicture(Compressed(big, static_cast<std::uint32_t>(big.size()))));
    EXPECT_EQ(e.result, 1);
    ASSERT_TRUE(e.written);
    EXPECT_TRUE(*e.written == cover);
}

// Each row: a file and the row clicked; nothing is written and nothing goes to the shell.
TEST(ExportPicture, HandsNothingToTheShellWhenNoPictureWasWritten) {
    const std::string png = Frame23("APIC", ApicData("image/png", "", kPng));
    const std::tuple<const char*, std::string, std::string, std::function<void(Harness&)>, int,
                     std::string>
        cases[] = {
            {"another row", WithPicture(png), "", {}, 0, ""},
            {"a version 2.2 tag",
             Id3v2(2, Frame22("PIC", "PNG\x03" + std::string(1, '\0') + kPng)),
             "APIC",
             {},
             0,
             ""},
            {"no picture frame", WithPicture(""), "APIC", {}, 0, ""},
            {"encrypted",
             WithPicture(Frame23("APIC", ApicData("image/png", "", kPng), 0, 0x40)),
             "APIC",
             {},
             -1,
             "GetPicture: cannot handle encryption (0)"},
            {"no signature",
             WithPicture(Frame23("APIC", ApicData("image/png", "", "no sig"))),
             "APIC",
             {},
             -1,
             "GetPicture: no picture signature before the end of the frame (0)"},
            {"cannot create", WithPicture(png), "APIC",
             [](Harness& h) { h.files.FailCreate(true); }, -1,
             "GetPicture: Cannot Write\r\nmay be file is in use by another application (2)"},
            {"file gone", WithPicture(png), "APIC", [](Harness& h) { h.files.Remove("song.mp3"); },
             -1, ""},
            {"file changed", WithPicture(png), "APIC",
             [](Harness& h) { h.files.Put("song.mp3", MpegFrame()); }, -1, ""},
        };
    for (const auto& [what, file, row, prepare, result, message] : cases) {
        const auto e = Click(file, row, prepare);
        EXPECT_EQ(e.result, result) << what;
        EXPECT_EQ(e.Message(), message) << what;
        EXPECT_FALSE(e.written) << what;
        EXPECT_TRUE(e.opened.empty()) << what;
    }
}

TEST(PictureRowClick, RestoresThePointerBeforeReportingAFaultOfItsOwn) {
    Harness h;
    h.Analyse("song.mp3", WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))));
    ThrowingFileAccess throwing([] { throw std::runtime_error("device not ready"); });
    Services services{throwing, h.messages, h.window};
    std::string name;
    EXPECT_EQ(PictureRowClick(h.state, "APIC", services, "out", true, name), -1);
    EXPECT_FALSE(h.window.Busy());
    ASSERT_EQ(h.messages.Messages().size(), 1U);
    EXPECT_EQ(h.messages.Messages()[0].title, "Showpicture");
    EXPECT_EQ(h.messages.Messages()[0].text, "device not ready");
    EXPECT_TRUE(h.window.Opened().empty());
}
