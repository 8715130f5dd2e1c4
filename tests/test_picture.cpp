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

}  // namespace

TEST(ExportPicture, WritesAJpegFromItsSignatureToTheFramesLastByte) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("image/jpeg", "cover", kJpeg))));
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(e.name, "out/image.jpg");
    ASSERT_TRUE(e.written);
    EXPECT_EQ(*e.written, kJpeg);
    EXPECT_EQ(e.opened, (std::vector<std::string>{"out/image.jpg"}));
    EXPECT_TRUE(e.messages.empty());
}

TEST(ExportPicture, NamesTheFileAfterTheMimeType) {
    struct Case {
        const char* mime;
        const char* name;
    };
    for (const Case c : {Case{"image/png", "out/image.png"}, Case{"IMAGE/PNG", "out/image.PNG"},
                         Case{"image/JPEG", "out/image.jpg"}, Case{"image/jpg", "out/image.jpg"},
                         Case{"image/gif", "out/image.gif"}, Case{"image/webp", "out/image.webp"},
                         // Untrusted extensions: a path out of the folder, a runnable type.
                         Case{"image/../../x", "out/image.bmp"},
                         Case{"image/desktop", "out/image.bmp"}, Case{"image", "out/image.bmp"}}) {
        const auto e = Click(WithPicture(Frame23("APIC", ApicData(c.mime, "", kPng))));
        EXPECT_EQ(e.result, 1) << c.mime;
        EXPECT_EQ(e.name, c.name) << c.mime;
        ASSERT_TRUE(e.written) << c.mime;
        EXPECT_EQ(*e.written, kPng) << c.mime;  // the start still found by signature
    }
}

TEST(ExportPicture, WritesEverythingFromTheDescriptionOnWithoutImageInTheMimeType) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("JPG", "desc", kJpeg))));
    EXPECT_EQ(e.name, "out/image.bmp");
    ASSERT_TRUE(e.written);
    EXPECT_EQ(*e.written, "desc" + std::string(1, '\0') + kJpeg);
}

TEST(ExportPicture, InflatesACompressedPicture) {
    const std::string data = ApicData("image/png", "d", kPng);
    const std::string frame = "APIC" + BigEndian(4 + Compress(data).size(), 4) + Bytes({0, 0x80}) +
                              BigEndian(data.size(), 4) + Compress(data);
    const auto e = Click(WithPicture(frame));
    EXPECT_EQ(e.result, 1);
    ASSERT_TRUE(e.written);
    EXPECT_EQ(*e.written, kPng);
}

TEST(ExportPicture, InflatesAPictureDeclaring4GiBFromWhatTheStreamHolds) {
    const std::string data = ApicData("image/png", "d", kPng);
    const std::string frame = "APIC" + BigEndian(4 + Compress(data).size(), 4) + Bytes({0, 0x80}) +
                              BigEndian(0xFFFFFFFFU, 4) + Compress(data);
    const auto e = Click(WithPicture(frame));
    ASSERT_TRUE(e.written);
    EXPECT_EQ(*e.written, kPng);
}

TEST(ExportPicture, RefusesAnEncryptedPicture) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng), 0, 0x40)));
    EXPECT_EQ(e.result, -1);
    EXPECT_EQ(e.name, "");
    ASSERT_EQ(e.messages.size(), 1U);
    EXPECT_EQ(e.messages[0].text, "cannot handle encryption");
    EXPECT_EQ(e.messages[0].title, "GetPicture");
    EXPECT_EQ(e.messages[0].icon, MessageIcon::None);
    EXPECT_TRUE(e.opened.empty());
}

TEST(ExportPicture, ExportsTheFirstOfTwoPictures) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng)) +
                                     Frame23("APIC", ApicData("image/jpeg", "", kJpeg))));
    EXPECT_EQ(e.name, "out/image.png");
}

TEST(ExportPicture, DoesNothingForOtherRowsOrAVersion2Tag) {
    const auto version = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))), "");
    EXPECT_EQ(version.result, 0);
    EXPECT_TRUE(version.opened.empty());
    const auto pic =
        Click(Id3v2(2, Frame22("PIC", "PNG\x03" + std::string(1, '\0') + kPng)), "PIC");
    EXPECT_EQ(pic.result, 0);
    // Even a row named APIC exports nothing from a version 2.2 tag.
    EXPECT_EQ(Click(Id3v2(2, Frame22("PIC", "x")), "APIC").result, 0);
}

TEST(ExportPicture, ReportsASignatureSearchThatRunsOffTheEnd) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", "no signature"))));
    EXPECT_EQ(e.result, -1);
    ASSERT_EQ(e.messages.size(), 1U);
    EXPECT_EQ(e.messages[0].title, "GetPicture");
    EXPECT_EQ(e.messages[0].icon, MessageIcon::None);
    EXPECT_FALSE(e.written);
    EXPECT_TRUE(e.opened.empty());
}

// A compressed cover is written whole, however far past the frames' own cap it inflates.
TEST(ExportPicture, WritesACompressedCoverWholePastSixteenMiB) {
    const std::string cover = kPng + std::string(17U << 20, 'p');
    const std::string data = ApicData("image/png", "", cover);
    const auto e =
        Click(WithPicture(Frame23("APIC", BigEndian(data.size(), 4) + Compress(data), 0, 0x80)));
    EXPECT_EQ(e.result, 1);
    ASSERT_TRUE(e.written);
    EXPECT_EQ(e.written->size(), cover.size());
    EXPECT_TRUE(*e.written == cover);
}

TEST(ExportPicture, SaysCannotWriteWhenTheFileCannotBeCreated) {
    const auto e = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))), "APIC",
                         [](Harness& h) { h.files.FailCreate(true); });
    EXPECT_EQ(e.result, -1);
    ASSERT_EQ(e.messages.size(), 1U);
    EXPECT_EQ(e.messages[0].text, "Cannot Write\r\nmay be file is in use by another application");
    EXPECT_EQ(e.messages[0].icon, MessageIcon::Information);
    EXPECT_TRUE(e.opened.empty());
}

TEST(ExportPicture, FailsQuietlyWhenTheFileChangedSinceTheAnalysis) {
    const auto gone = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))), "APIC",
                            [](Harness& h) { h.files.Remove("song.mp3"); });
    EXPECT_EQ(gone.result, -1);
    EXPECT_TRUE(gone.messages.empty());
    const auto moved = Click(WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))), "APIC",
                             [](Harness& h) { h.files.Put("song.mp3", MpegFrame()); });
    EXPECT_EQ(moved.result, -1);
    EXPECT_TRUE(moved.messages.empty());
}

namespace {

// A file layer whose opens fail with an exception, as a fault inside the click handling.
class ThrowingFiles final : public FileAccess {
  public:
    std::unique_ptr<InputFile> OpenRead(const std::string&) override {
        throw std::runtime_error("device not ready");
    }
    std::unique_ptr<OutputFile> CreateWrite(const std::string&) override { return nullptr; }
    std::optional<std::string> ReplaceProblem(const std::string&, const std::string&) override {
        return std::nullopt;
    }
};

}  // namespace

TEST(PictureRowClick, RestoresThePointerBeforeReportingAFaultOfItsOwn) {
    Harness h;
    h.Analyse("song.mp3", WithPicture(Frame23("APIC", ApicData("image/png", "", kPng))));
    ThrowingFiles throwing;
    Services services{throwing, h.messages, h.window};
    std::string name;
    EXPECT_EQ(PictureRowClick(h.state, "APIC", services, "out", true, name), -1);
    EXPECT_FALSE(h.window.Busy());
    ASSERT_EQ(h.messages.Messages().size(), 1U);
    EXPECT_EQ(h.messages.Messages()[0].title, "Showpicture");
    EXPECT_EQ(h.messages.Messages()[0].text, "device not ready");
    EXPECT_EQ(h.messages.Messages()[0].icon, MessageIcon::None);
    EXPECT_TRUE(h.window.Opened().empty());
}
