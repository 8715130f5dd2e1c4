// The real window on the offscreen platform, driven by mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/frmMain.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"

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
        std::string pattern = (fs::temp_directory_path() / "veltrane-window-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
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
    void TearDown() override {
        window_.reset();
        fs::remove_all(root_);
    }
    void Write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative, std::ios::binary) << bytes;
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

    fs::path root_;
    std::unique_ptr<frmMain> window_;
    std::vector<std::string> opened_;
    std::vector<Message> messages_;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(Window, StartsWithTheFirstDrivesRootListedAndEmptyPanes) {
    auto& w = Open();
    EXPECT_EQ(w.windowTitle(), "MP3 TAG Veltrane");
    ASSERT_EQ(w.TreeView1.topLevelItemCount(), 1);
    QTreeWidgetItem* drive = w.TreeView1.topLevelItem(0);
    EXPECT_EQ(drive->text(0), QString::fromStdString("C: (" + root_.string() + ")"));
    EXPECT_EQ(drive->childCount(), 1);  // Music; the hidden .config is not shown
    EXPECT_EQ(w.State().sActualPath, "C:");
    EXPECT_EQ(Rows(w.FileList()), (Names{"root.mp3"}));
    EXPECT_EQ(w.Id3v2Pane().RowCount(), 0);
    EXPECT_EQ(w.Text1.toPlainText(), "");
}

TEST_F(Window, ExpandingANodeFillsItsChildrensChildren) {
    auto& w = Open();
    QTreeWidgetItem* music = w.TreeView1.topLevelItem(0)->child(0);
    EXPECT_EQ(music->childCount(), 0);
    w.TreeView1.expandItem(w.TreeView1.topLevelItem(0));
    ASSERT_EQ(music->childCount(), 3);  // Jazz, Rock, folder.mp3: sorted by name
    EXPECT_EQ(music->child(0)->text(0), "folder.mp3");
    EXPECT_EQ(music->child(1)->text(0), "Jazz");
    QTreeWidgetItem* rock = Child(music, "Rock");
    EXPECT_EQ(rock->childCount(), 0);
    w.TreeView1.expandItem(music);
    EXPECT_EQ(rock->childCount(), 1);
    // Expanding again adds no duplicates.
    w.TreeView1.collapseItem(music);
    w.TreeView1.expandItem(music);
    EXPECT_EQ(rock->childCount(), 1);
    EXPECT_EQ(music->childCount(), 3);
}

TEST_F(Window, ClickingAFolderListsItsMp3FilesOnly) {
    auto& w = Open();
    QTreeWidgetItem* music = w.TreeView1.topLevelItem(0)->child(0);
    Click(w.TreeView1, music);
    EXPECT_EQ(w.State().sActualPath, "C:\\Music");
    EXPECT_EQ(Rows(w.FileList()), (Names{".hidden.mp3", "LOUD.MP3", "song.mp3"}));
}

TEST_F(Window, ClickingAFileFillsThePanesAndAnotherFolderLeavesThem) {
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

TEST_F(Window, SortsTheId3v2PaneIgnoringCaseAndPaintsPictureRowsBlue) {
    // "BPM (beats per minute)" sorts after "Band/orchestra/accompaniment" only when case is
    // ignored: a case-sensitive comparison puts "BP" before "Ba".
    Write("tagged.mp3", Id3v2(3, Frame23("TIT2", Text("Song")) + Frame23("TDRC", Text("2001")) +
                                     Frame23("TBPM", Text("120")) + Frame23("TPE2", Text("Band")) +
                                     Frame23("APIC", ApicData("image/png", "", "\x89PNG")) +
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
    EXPECT_EQ(w.ListView1.topLevelItem(6)->text(2), "Song");
    // The in-memory pane sorts the same way.
    std::ifstream in(root_ / "tagged.mp3", std::ios::binary);
    Harness h;
    h.Analyse("tagged.mp3", std::string(std::istreambuf_iterator<char>(in), {}));
    for (int r = 0; r < h.id3v2Pane.RowCount(); ++r) {
        EXPECT_EQ(QString::fromStdString(h.id3v2Pane.CellText(r, 0)), order[r]);
    }
}

TEST_F(Window, ClickingTheBlueRowWritesThePictureAndAsksTheShellToOpenIt) {
    const std::string png = "\x89PNG picture";
    Write("cover.mp3", Id3v2(3, Frame23("TIT2", Text("Song")) +
                                    Frame23("APIC", ApicData("image/png", "", png))) +
                           MpegFrame());
    auto& w = Open();
    ClickFile(w, 0);
    ASSERT_EQ(w.State().sActualFile, "C:\\cover.mp3");
    QTreeWidgetItem* blue = w.ListView1.topLevelItem(1);
    ASSERT_EQ(blue->text(0), "APIC");
    Click(w.ListView1, w.ListView1.topLevelItem(2));  // the title row: nothing
    EXPECT_TRUE(opened_.empty());
    Click(w.ListView1, blue);
    const std::string written = (root_ / "pictures" / "image.png").string();
    EXPECT_EQ(opened_, (std::vector<std::string>{written}));
    std::ifstream in(written, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), png);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Window, TheFileListsTooltipFollowsThePointer) {
    auto& w = Open();
    Click(w.TreeView1, w.TreeView1.topLevelItem(0)->child(0));
    const QRect second = w.ListView4.visualRect(w.ListView4.model()->index(1, 0));
    QTest::mouseMove(w.ListView4.viewport(), second.center());
    EXPECT_EQ(w.FileList().ToolTip(), "LOUD.MP3");
    EXPECT_EQ(w.ListView4.toolTip(), "LOUD.MP3");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(5, w.ListView4.viewport()->height() - 2));
    EXPECT_EQ(w.FileList().ToolTip(), "");

    // An empty list leaves the tooltip as it was.
    w.TreeView1.expandItem(w.TreeView1.topLevelItem(0));
    Click(w.TreeView1, Child(w.TreeView1.topLevelItem(0)->child(0), "folder.mp3"));
    EXPECT_EQ(w.FileList().RowCount(), 0);
    w.FileList().SetToolTip("kept");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(10, 10));
    EXPECT_EQ(w.FileList().ToolTip(), "kept");
}

TEST_F(Window, ShowsTheAnalysisMessagesAsMessageBoxesOverTheClickedFile) {
    Write("bad.mp3", Id3v2(3, Frame23("TLEN", Text("soon"))) + MpegFrame());
    auto& w = Open();
    ClickFile(w, 1);  // root.mp3
    ClickFile(w, 0);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].title, "ReadID3dPAT");
    EXPECT_EQ(messages_[0].icon, MessageIcon::Critical);
    EXPECT_EQ(messages_[0].selectedFile, 0);
    EXPECT_TRUE(w.updatesEnabled());
}

TEST_F(Window, ShowsARefilledPaneFromItsFirstRowInAWindowOfFixedSize) {
    std::string frames;
    for (int i = 0; i < 40; ++i) {
        frames += Frame23("TXXX", Text("value " + std::to_string(i)));
    }
    Write("a.mp3", Id3v2(3, frames) + MpegFrame());
    Write("b.mp3", Id3v2(3, frames) + MpegFrame());
    auto& w = Open();
    ClickFile(w, 0);
    w.ListView1.scrollToBottom();
    ASSERT_GT(w.Id3v2Pane().FirstVisibleIndex(), 1);
    ClickFile(w, 1);
    EXPECT_EQ(w.Id3v2Pane().FirstVisibleIndex(), 1);
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
}

TEST(WindowWithoutDrives, StartsWithAnEmptyTreeAndList) {
    ViewerHost host;
    host.showMessage = [](const std::string&, const std::string&, MessageIcon) {};
    frmMain w(host);
    EXPECT_EQ(w.TreeView1.topLevelItemCount(), 0);
    EXPECT_EQ(w.FileList().RowCount(), 0);
    EXPECT_EQ(w.State().sActualPath, "");
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
