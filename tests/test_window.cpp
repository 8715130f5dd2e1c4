// The real window on the offscreen platform, driven by mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "app/frmMain.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

using namespace veltrane;
using namespace fixture;
namespace fs = std::filesystem;

namespace {

struct Message {
    std::string text, title;
    MessageIcon icon;
    int selectedFile;  // the file list's selected row while the box is up
};

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        Write("root.mp3", MpegFrame());
        Write("Music/Rock/deep.mp3", MpegFrame());
        Write("Music/Rock/Older/x.mp3", MpegFrame());
        Write("Music/Jazz/a.mp3", MpegFrame(418, 0xFB, 0x92, 0x64));
        Write("Music/song.mp3",
              MpegFrame() + Id3v1({"Title", "Artist", "Album", "2001", "", 3, 17}));
        Write("Music/LOUD.MP3", MpegFrame());
        Write("Music/.hidden.mp3", MpegFrame());
        Write("Music/notes.txt", "x");
        fs::create_directories(root_ / "Music" / "folder.mp3");
        fs::create_directories(root_ / ".config");
    }
    void Write(const std::string& relative, const std::string& bytes) {
        temp_.Write(relative, bytes);
    }
    frmMain& Open() {
        ViewerHost host;
        host.drives = {{'C', root_.string(), kDriveFixed}};
        host.shellOpen = [this](const std::string& path) { opened_.push_back(path); };
        host.showMessage = [this](const std::string& text, const std::string& title,
                                  MessageIcon icon) {
            messages_.push_back({text, title, icon, window_->ListView4.currentIndex().row()});
        };
        host.pictureFolder = (root_ / "pictures").string();
        window_ = std::make_unique<frmMain>(host);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }
    static QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& text) {
        for (int i = 0; i < item->childCount(); ++i) {
            if (item->child(i)->text(0) == text) {
                return item->child(i);
            }
        }
        return nullptr;
    }
    static void Click(QTreeWidget& view, QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        view.scrollToItem(item);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualItemRect(item).center());
    }
    static void ClickFile(frmMain& w, int row) {
        const QModelIndex index = w.ListView4.model()->index(row, 0);
        ASSERT_TRUE(index.isValid());
        w.ListView4.scrollTo(index);
        QTest::mouseClick(w.ListView4.viewport(), Qt::LeftButton, {},
                          w.ListView4.visualRect(index).center());
    }
    static std::vector<std::string> Rows(RowList& pane) {
        std::vector<std::string> rows;
        for (int r = 0; r < pane.RowCount(); ++r) {
            rows.push_back(pane.CellText(r, 0));
        }
        return rows;
    }

    TempFolder temp_;
    const fs::path& root_ = temp_.Path();
    std::unique_ptr<frmMain> window_;
    std::vector<std::string> opened_;
    std::vector<Message> messages_;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(Window, BrowsesTheDrivesFoldersAndTheirMp3Files) {
    auto& w = Open();
    EXPECT_EQ(w.windowTitle(), "MP3 TAG Veltrane");
    ASSERT_EQ(w.TreeView1.topLevelItemCount(), 1);
    QTreeWidgetItem* drive = w.TreeView1.topLevelItem(0);
    EXPECT_EQ(drive->text(0), QString::fromStdString("C: (" + root_.string() + ")"));
    ASSERT_EQ(drive->childCount(), 1);  // Music; the hidden .config is not shown
    EXPECT_EQ(w.State().sActualPath, "C:");
    EXPECT_EQ(Rows(w.FileList()), (Names{"root.mp3"}));
    EXPECT_EQ(w.Id3v2Pane().RowCount() + w.Text1.toPlainText().size(), 0);

    // Expanding a node fills its children's children, once.
    QTreeWidgetItem* music = drive->child(0);
    EXPECT_EQ(music->childCount(), 0);
    w.TreeView1.expandItem(drive);
    ASSERT_EQ(music->childCount(), 3);  // sorted by name
    EXPECT_EQ(music->child(0)->text(0), "folder.mp3");
    EXPECT_EQ(music->child(1)->text(0), "Jazz");
    QTreeWidgetItem* rock = Child(music, "Rock");
    EXPECT_EQ(rock->childCount(), 0);
    w.TreeView1.expandItem(music);
    w.TreeView1.collapseItem(music);
    w.TreeView1.expandItem(music);
    EXPECT_EQ(rock->childCount(), 1);
    EXPECT_EQ(music->childCount(), 3);

    // A folder click lists its MP3 files; the tooltip follows the pointer over them.
    Click(w.TreeView1, music);
    EXPECT_EQ(w.State().sActualPath, "C:\\Music");
    EXPECT_EQ(Rows(w.FileList()), (Names{".hidden.mp3", "LOUD.MP3", "song.mp3"}));
    const QRect second = w.ListView4.visualRect(w.ListView4.model()->index(1, 0));
    QTest::mouseMove(w.ListView4.viewport(), second.center());
    EXPECT_EQ(w.ListView4.toolTip(), "LOUD.MP3");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(5, w.ListView4.viewport()->height() - 2));
    EXPECT_EQ(w.FileList().ToolTip(), "");
    // An empty list leaves the tooltip as it was.
    Click(w.TreeView1, Child(music, "folder.mp3"));
    EXPECT_EQ(w.FileList().RowCount(), 0);
    w.FileList().SetToolTip("kept");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(10, 10));
    EXPECT_EQ(w.FileList().ToolTip(), "kept");
}

TEST_F(Window, ShowsTheClickedFilesPanesUntilAnotherFileIsClicked) {
    auto& w = Open();
    Click(w.TreeView1, w.TreeView1.topLevelItem(0)->child(0));
    ClickFile(w, 2);
    EXPECT_EQ(w.State().sActualFile, "C:\\Music\\song.mp3");
    EXPECT_EQ(Dump(w.Id3v1Pane(), 2),
              "Artist\tArtist\nAlbum\tAlbum\nYear\t2001\nTrack\t3\nTitle\tTitle\nComment\t\n"
              "Genre\tRock\n");
    EXPECT_EQ(w.MpegPane().CellText(0, 1), "546");
    EXPECT_EQ(w.ListView2.topLevelItem(6)->text(1), "Rock");
    EXPECT_EQ(w.Text1.toPlainText(), " NO LYRICS FOUND");
    EXPECT_TRUE(w.updatesEnabled());
    if (const char* shot = std::getenv("VELTRANE_SCREENSHOT")) {
        w.TreeView1.expandItem(w.TreeView1.topLevelItem(0));
        w.grab().save(shot);
    }
    const std::string before = Dump(w.Id3v1Pane(), 2) + Dump(w.MpegPane(), 2);
    w.TreeView1.expandItem(w.TreeView1.topLevelItem(0));
    Click(w.TreeView1, Child(w.TreeView1.topLevelItem(0)->child(0), "Jazz"));
    EXPECT_EQ(Rows(w.FileList()), (Names{"a.mp3"}));
    EXPECT_EQ(Dump(w.Id3v1Pane(), 2) + Dump(w.MpegPane(), 2), before);
    EXPECT_EQ(w.State().sActualFile, "C:\\Music\\song.mp3");
}

// "BPM (beats per minute)" sorts after "Band/orchestra/accompaniment" only when case is ignored;
// the in-memory pane sorts the same way. A click on the blue row writes the picture and asks the
// shell to open it; a click on another row does nothing.
TEST_F(Window, SortsTheId3v2PaneAndExportsTheBlueRowsPicture) {
    const std::string png = "\x89PNG picture";
    Write("tagged.mp3", Id3v2(3, Frame23("TIT2", Text("Song")) + Frame23("TDRC", Text("2001")) +
                                     Frame23("TBPM", Text("120")) + Frame23("TPE2", Text("Band")) +
                                     Frame23("APIC", ApicData("image/png", "", png)) +
                                     Frame23("TALB", Text("Album"))) +
                            MpegFrame());
    auto& w = Open();
    ClickFile(w, 1);
    QStringList order;
    for (int r = 0; r < w.ListView1.topLevelItemCount(); ++r) {
        order << w.ListView1.topLevelItem(r)->text(0);
    }
    EXPECT_EQ(order, QStringList({"TDRC", "", "TALB", "TPE2", "TBPM", "APIC", "TIT2"}));
    EXPECT_EQ(w.ListView1.topLevelItem(1)->text(1), "    ID3 Version");
    EXPECT_EQ(w.ListView1.topLevelItem(5)->foreground(2).color(), QColor(0, 0, 255));
    Harness h;
    h.Analyse("tagged.mp3", Slurp(root_ / "tagged.mp3"));
    for (int r = 0; r < h.id3v2Pane.RowCount(); ++r) {
        EXPECT_EQ(QString::fromStdString(h.id3v2Pane.CellText(r, 0)), order[r]);
    }
    Click(w.ListView1, w.ListView1.topLevelItem(6));
    EXPECT_TRUE(opened_.empty());
    Click(w.ListView1, w.ListView1.topLevelItem(5));
    const std::string written = (root_ / "pictures" / "image.png").string();
    EXPECT_EQ(opened_, (std::vector<std::string>{written}));
    EXPECT_EQ(Slurp(written), png);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A message box stands over the newly selected file; a refilled pane shows its first row; the
// window keeps its size.
TEST_F(Window, ShowsMessageBoxesOverTheClickedFileAndRefilledPanesFromTheTop) {
    std::string frames;
    for (int i = 0; i < 40; ++i) {
        frames += Frame23("TXXX", Text("value " + std::to_string(i)));
    }
    Write("a.mp3", Id3v2(3, frames + Frame23("TLEN", Text("soon"))) + MpegFrame());
    Write("b.mp3", Id3v2(3, frames) + MpegFrame());
    auto& w = Open();
    ClickFile(w, 1);
    w.ListView1.scrollToBottom();
    ASSERT_GT(w.Id3v2Pane().FirstVisibleIndex(), 1);
    ClickFile(w, 0);
    EXPECT_EQ(w.Id3v2Pane().FirstVisibleIndex(), 1);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].title, "ReadID3dPAT");
    EXPECT_EQ(messages_[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages_[0].selectedFile, 0);
    EXPECT_TRUE(w.updatesEnabled());
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
}

TEST(WindowWithoutDrives, StartsWithAnEmptyTreeAndList) {
    ViewerHost host;
    host.showMessage = [](const std::string&, const std::string&, MessageIcon) {};
    frmMain w(host);
    EXPECT_EQ(w.TreeView1.topLevelItemCount() + w.FileList().RowCount(), 0);
    EXPECT_EQ(w.State().sActualPath, "");
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
