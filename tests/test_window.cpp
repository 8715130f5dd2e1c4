// The real window on the offscreen platform, driven by mouse events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include "app/frmMain.h"
#include "support/Harness.h"
#include "support/Mp3Builder.h"
#include "support/TempFolder.h"

using namespace veltrane;
using namespace fixture;

namespace {

using Names = std::vector<std::string>;

class Window : public ::testing::Test {
  protected:
    // The window over the temporary folder as drive C, or over the drives given.
    frmMain& Open(std::vector<Drive> drives = {}) {
        for (const char* name :
             {"root.mp3", "Music/Rock/Older/x.mp3", "Music/Jazz/a.mp3", "Music/LOUD.MP3",
              "Music/.hidden.mp3", "Music/notes.txt", "Music/folder.mp3/x", ".config/x"}) {
            temp_.Write(name, MpegFrame());
        }
        temp_.Write("Music/song.mp3", MpegFrame() + Id3v1({"Title", "Artist", "", "", "", 3, 17}));
        ViewerHost host;
        host.drives =
            drives.empty() ? std::vector<Drive>{{'C', temp_.Path().string(), kDriveFixed}} : drives;
        host.folders = folders_;
        host.shellOpen = [this](const std::string& path) {
            opened_.push_back(path);
            return desktopOpens_;
        };
        host.showMessage = [this](const std::string& text, const std::string& title,
                                  MessageIcon icon) {
            // The title, and the file list's selected row while the box is up.
            messages_.push_back(title + " " +
                                std::to_string(window_->ListView4.currentIndex().row()));
            texts_.push_back(text + (icon == MessageIcon::Information ? " (information)" : ""));
        };
        host.pictureFolder = (temp_.Path() / "pictures").string();
        window_ = std::make_unique<frmMain>(host);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }
    static void Click(QTreeWidget& view, QTreeWidgetItem* item) {
        ASSERT_NE(item, nullptr);
        view.scrollToItem(item);
        // Near the text's start: a long name's middle may lie beyond the view's right edge.
        const QRect rect = view.visualItemRect(item);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                          QPoint(rect.left() + std::min(rect.width() / 2, 30), rect.center().y()));
    }
    static void ClickFile(frmMain& w, int row) {
        const QModelIndex index = w.ListView4.model()->index(row, 0);
        ASSERT_TRUE(index.isValid());
        w.ListView4.scrollTo(index);
        QTest::mouseClick(w.ListView4.viewport(), Qt::LeftButton, {},
                          w.ListView4.visualRect(index).center());
    }

    TempFolder temp_;
    std::shared_ptr<FolderAccess> folders_;  // the drives' own folders when null
    bool desktopOpens_ = true;
    std::unique_ptr<frmMain> window_;
    Names opened_;
    Names messages_;
    Names texts_;
};

// The drives' real folders, but "C:\\Windows" holds 33,000 sub-folders, in the listing only.
class ManyFolders final : public HostFolderAccess {
  public:
    using HostFolderAccess::HostFolderAccess;
    std::optional<std::vector<FoundEntry>> Find(std::string_view pattern) const override {
        std::vector<FoundEntry> entries;
        for (int i = 0; pattern == "C:\\Windows\\*" && i < 33000; ++i) {
            entries.push_back({std::to_string(i), kAttrDirectory});
        }
        return entries.empty() ? HostFolderAccess::Find(pattern) : entries;
    }
    std::uint32_t Attributes(std::string_view path) const override {
        return path.starts_with("C:\\Windows\\") ? kAttrDirectory
                                                 : HostFolderAccess::Attributes(path);
    }
};

}  // namespace

// The first drive's root is listed at the start; expanding a node fills its children's children
// once; a folder click lists its MP3 files; the tooltip follows the pointer over them; a file
// click fills the panes, which stay when another folder is clicked.
TEST_F(Window, BrowsesFoldersAndShowsTheClickedFilesPanes) {
    auto& w = Open();
    EXPECT_EQ(w.windowTitle(), "MP3 TAG Veltrane");
    QStringList columns;
    for (const QTreeWidget* pane :
         {static_cast<QTreeWidget*>(&w.ListView1), &w.ListView2, &w.ListView3}) {
        for (int c = 0; c < pane->columnCount(); ++c) {
            columns << pane->headerItem()->text(c);
        }
    }
    EXPECT_EQ(columns.join(" "), "TAG Text Value Item Value Item Value");
    ASSERT_EQ(w.TreeView1.topLevelItemCount(), 1);
    QTreeWidgetItem* drive = w.TreeView1.topLevelItem(0);
    EXPECT_EQ(drive->data(0, Qt::UserRole + 2).toString(), "DriveC");  // the drive node's key
    EXPECT_EQ(drive->text(0), QString::fromStdString("C: (" + temp_.Path().string() + ")"));
    ASSERT_EQ(drive->childCount(), 1);  // Music; the hidden .config is not shown
    EXPECT_EQ(Rows(w.FileList()), (Names{"root.mp3"}));
    QTreeWidgetItem* music = drive->child(0);
    w.TreeView1.expandItem(drive);
    ASSERT_EQ(music->childCount(), 3);
    EXPECT_EQ(music->child(0)->text(0) + music->child(2)->text(0), "folder.mp3Rock");  // by name
    QTreeWidgetItem* rock = music->child(2);
    EXPECT_EQ(rock->childCount(), 0);
    w.TreeView1.expandItem(music);
    w.TreeView1.collapseItem(music);
    w.TreeView1.expandItem(music);
    EXPECT_EQ(rock->childCount(), 1);
    EXPECT_EQ(music->childCount(), 3);

    Click(w.TreeView1, music);
    EXPECT_EQ(w.State().sActualPath, "C:\\Music");
    EXPECT_EQ(Rows(w.FileList()), (Names{".hidden.mp3", "LOUD.MP3", "song.mp3"}));
    QTest::mouseMove(w.ListView4.viewport(),
                     w.ListView4.visualRect(w.ListView4.model()->index(1, 0)).center());
    EXPECT_EQ(w.ListView4.toolTip(), "LOUD.MP3");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(5, w.ListView4.viewport()->height() - 2));
    EXPECT_EQ(w.FileList().ToolTip(), "");

    ClickFile(w, 2);
    EXPECT_EQ(w.State().sActualFile, "C:\\Music\\song.mp3");
    EXPECT_EQ(w.ListView2.topLevelItem(6)->text(1), "Rock");
    EXPECT_EQ(w.MpegPane().CellText(0, 1), "546");
    EXPECT_EQ(w.Text1.toPlainText(), " NO LYRICS FOUND");
    const std::string before = Dump(w.Id3v1Pane(), 2) + Dump(w.MpegPane(), 2);
    Click(w.TreeView1, music->child(0));  // an empty list keeps the tooltip
    EXPECT_EQ(w.FileList().RowCount(), 0);
    w.FileList().SetToolTip("kept");
    QTest::mouseMove(w.ListView4.viewport(), QPoint(10, 10));
    EXPECT_EQ(w.FileList().ToolTip(), "kept");
    EXPECT_EQ(Dump(w.Id3v1Pane(), 2) + Dump(w.MpegPane(), 2), before);
}

// Every drive but removable ones, with its label and image. Expanding a drive lists all the
// visible sub-folders of its folders, more than 32,767 too (a 16-bit count once gave none), and
// none of a folder gone since it was listed.
TEST_F(Window, ListsDrivesButRemovableOnesAndEveryVisibleSubFolder) {
    const auto at = [&](const char* folder) { return (temp_.Path() / "drives" / folder).string(); };
    for (const char* folder : {"a", "e", "f", "g", "h", "i", "c/Windows", "c/.hidden", "c/Gone"}) {
        std::filesystem::create_directories(at(folder));
    }
    temp_.Write("drives/c/boot.ini", "");
    const std::vector<Drive> drives = {
        {'A', at("a"), kDriveRemovable},     {'C', at("c"), kDriveFixed},
        {'D', at("no medium"), kDriveCdRom}, {'E', at("e"), kDriveFixed},
        {'F', at("f"), kDriveRemote},        {'G', at("g"), kDriveRamDisk},
        {'H', at("h"), kDriveUnknown},       {'I', at("i"), kDriveNoRoot}};
    folders_ = std::make_shared<ManyFolders>(drives);
    auto& w = Open(drives);
    Names texts;
    Names images;
    for (int i = 0; i < w.TreeView1.topLevelItemCount(); ++i) {
        QTreeWidgetItem* drive = w.TreeView1.topLevelItem(i);
        texts.push_back(drive->text(0).toStdString());
        images.push_back(w.Tree().ImageName(w.Tree().NodeOf(drive)));
    }
    EXPECT_EQ(texts, (Names{"C: (" + at("c") + ")", "D:(empty)", "E: (" + at("e") + ")",
                            "F: (" + at("f") + ")", "G: (" + at("g") + ")", "H: (" + at("h") + ")",
                            "I: (" + at("i") + ")"}));
    EXPECT_EQ(images, (Names{"disc", "cd", "disc", "net", "ram", "none", "none"}));
    QTreeWidgetItem* c = w.TreeView1.topLevelItem(0);
    ASSERT_EQ(c->childCount(), 2);  // no hidden folder, no file
    const NodeId windows = w.Tree().NodeOf(c->child(1));
    EXPECT_EQ(w.Tree().ImageName(windows) + " " + w.Tree().ImageName(windows, true),
              "folderclosed folderopen");
    std::filesystem::remove(at("c/Gone"));
    w.TreeView1.expandItem(c);
    EXPECT_EQ(c->child(0)->childCount(), 0);
    EXPECT_EQ(c->child(1)->childCount(), 33000);
    Click(w.TreeView1, c->child(1));
    EXPECT_EQ(w.State().sActualPath, "C:\\Windows");
    // The clicked folder shows the open-folder image, its sibling still the closed one.
    EXPECT_NE(c->child(1)->icon(0).cacheKey(), c->child(0)->icon(0).cacheKey());
}

// "BPM (beats per minute)" sorts after "Band/orchestra/accompaniment" only when case is ignored;
// equal descriptions keep the file's order; the in-memory pane sorts the same way. A click on
// the blue row writes the picture and asks the shell to open it; another row does nothing. A
// message box stands over the newly selected file; a refilled pane shows its first row; the
// window keeps its size.
TEST_F(Window, SortsTheId3v2PaneExportsTheBlueRowsPictureAndShowsMessagesOverTheFile) {
    temp_.Write("tagged.mp3",
                Id3v2(3, Frame23("TIT2", Text("Song")) + Frame23("TXXX", Text("b")) +
                             Frame23("TBPM", Text("120")) + Frame23("TXXX", Text("a")) +
                             Frame23("TPE2", Text("Band")) +
                             Frame23("APIC", ApicData("image/png", "", "\x89PNG"))));
    std::string frames;
    for (int i = 0; i < 40; ++i) {
        frames += Frame23("TXXX", Text("value " + std::to_string(i)));
    }
    temp_.Write("a.mp3", Id3v2(3, frames + Frame23("TLEN", Text("soon"))));
    temp_.Write("b.mp3", Id3v2(3, frames));
    auto& w = Open();
    ClickFile(w, 3);
    QStringList order;
    for (int r = 0; r < w.ListView1.topLevelItemCount(); ++r) {
        order << w.ListView1.topLevelItem(r)->text(0) + w.ListView1.topLevelItem(r)->text(2);
    }
    EXPECT_EQ(order, QStringList({"3", "TPE2Band", "TBPM120",
                                  "APIC" + w.ListView1.topLevelItem(3)->text(2), "TIT2Song",
                                  "TXXXb", "TXXXa"}));
    EXPECT_EQ(w.ListView1.topLevelItem(3)->foreground(2).color(), QColor(0, 0, 255));
    Harness h;
    h.Analyse("tagged.mp3", Slurp(temp_.Path() / "tagged.mp3"));
    for (int r = 0; r < h.id3v2Pane.RowCount(); ++r) {
        EXPECT_EQ(QString::fromStdString(h.id3v2Pane.CellText(r, 0) + h.id3v2Pane.CellText(r, 2)),
                  order[r]);
    }
    Click(w.ListView1, w.ListView1.topLevelItem(4));
    EXPECT_TRUE(opened_.empty());
    Click(w.ListView1, w.ListView1.topLevelItem(3));
    EXPECT_EQ(opened_, (Names{(temp_.Path() / "pictures" / "image.png").string()}));
    EXPECT_EQ(Slurp(temp_.Path() / "pictures" / "image.png"), "\x89PNG");
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    ClickFile(w, 1);
    w.ListView1.scrollToBottom();
    ASSERT_GT(w.Id3v2Pane().FirstVisibleIndex(), 1);
    ClickFile(w, 0);
    EXPECT_EQ(w.Id3v2Pane().FirstVisibleIndex(), 1);
    EXPECT_EQ(messages_, (Names{"ReadID3dPAT 0"}));
    EXPECT_TRUE(w.updatesEnabled());
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
}

// What a user met: a refilled file list kept its old scroll position; arrow keys moved the
// highlight without analysing or listing; the tree cut long names; a name holding "\\" opened
// nothing; a picture nothing opens vanished silently; boxes carried the program's name in their
// titles; images were small ones scaled up, and the window had no icon of its own.
TEST_F(Window, ShowsWhatTheKeyboardSelectsFromTheTopAndTellsWhereAPictureWent) {
    for (int i = 0; i < 40; ++i) {
        temp_.Write("Many/" + std::to_string(100 + i) + ".mp3", MpegFrame());
    }
    temp_.Write("back\\slash.mp3", MpegFrame(33000));
    std::filesystem::create_directories(temp_.Path() / "Music" / std::string(60, 'L') / "M");
    temp_.Write("pic.mp3", Id3v2(3, Frame23("APIC", ApicData("image/png", "", "\x89PNG"))));
    desktopOpens_ = false;
    auto& w = Open();
    QTreeWidgetItem* drive = w.TreeView1.topLevelItem(0);
    w.TreeView1.expandItem(drive);
    EXPECT_EQ(w.ListView4.model()->index(0, 0).data().toString(), "back\\slash.mp3");
    ClickFile(w, 0);
    EXPECT_EQ(w.MpegPane().CellText(0, 1), "33000");  // the file itself, not "0 BYTE SIZE"

    // Keys move the selection and analyse what they select; no other key does anything.
    const auto key = [&](QWidget& view, Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&view, k, modifiers);
        return w.State().sActualFile;
    };
    EXPECT_EQ(key(w.ListView4, Qt::Key_Down), "C:\\pic.mp3");
    EXPECT_EQ(key(w.ListView4, Qt::Key_End), "C:\\root.mp3");
    EXPECT_EQ(key(w.ListView4, Qt::Key_Home), "C:\\back/slash.mp3");
    QTest::keyClicks(&w.ListView4, "pi");
    EXPECT_EQ(key(w.ListView4, Qt::Key_Space, Qt::ControlModifier), "C:\\pic.mp3");
    EXPECT_EQ(key(w.ListView4, Qt::Key_A, Qt::ControlModifier), "C:\\pic.mp3");
    EXPECT_EQ(w.ListView4.selectionModel()->selectedIndexes(),
              QModelIndexList{w.ListView4.currentIndex()});
    w.TreeView1.setCurrentItem(drive);
    key(w.TreeView1, Qt::Key_Down);
    EXPECT_EQ(w.State().sActualPath, "C:\\Many");

    // A refilled list starts at its first row.
    w.ListView4.scrollToBottom();
    ASSERT_GT(w.ListView4.verticalScrollBar()->value(), 0);
    Click(w.TreeView1, drive->child(0));
    EXPECT_EQ(w.ListView4.verticalScrollBar()->value(), 0);

    // The tree scrolls sideways to a long name.
    w.TreeView1.expandItem(drive->child(1));
    QCoreApplication::processEvents();
    EXPECT_GT(w.TreeView1.horizontalScrollBar()->maximum(), 0);

    // A picture no program opens: the box says where it went.
    Click(w.TreeView1, drive);
    ClickFile(w, 1);
    w.ListView1.setCurrentItem(w.ListView1.topLevelItem(0));
    QTest::keyClick(&w.ListView1, Qt::Key_Down);  // onto the picture row, as a click on it
    ASSERT_EQ(opened_.size(), 1U);
    EXPECT_EQ(messages_.back() + ": " + texts_.back(),
              "Showpicture 1: No program on this desktop opens the picture. It was written to\n" +
                  opened_[0] + " (information)");

    EXPECT_EQ(MakeMessageBox("text", "GetPicture", MessageIcon::None, &w)->windowTitle(),
              "GetPicture");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "veltrane");  // nothing appended
    for (const QIcon& icon : {w.windowIcon(), drive->icon(0)}) {
        const QImage sharp = icon.pixmap(QSize(16, 16), 2.0).toImage();
        EXPECT_EQ(sharp.size(), QSize(32, 32));
        EXPECT_NE(sharp, icon.pixmap(QSize(16, 16), 1.0).toImage().scaled(32, 32));
    }
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetUpApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
