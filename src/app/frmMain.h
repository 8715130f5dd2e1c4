// The main window: the folder tree, the file list and the four result panes. Its handlers only
// wire events to the core operations.
#pragma once

#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/mod_AnalysisDriver.h"
#include "app/mod_QtToolkit.h"
#include "browse/mod_LoadDirs.h"
#include "platform/mod__DriveAPI.h"
#include "platform/mod__FileAPI.h"
#include "platform/mod__Toolkit.h"

namespace veltrane {

// What the window is given of the host. Tests replace the drives, the folders, the shell and
// the message boxes; by default they are the machine's drives and folders, the desktop's
// default handler and modal message boxes.
struct ViewerHost {
    std::vector<Drive> drives;
    std::shared_ptr<FolderAccess> folders;  // the drives' own folders when not given
    // Opens a file with the desktop's program for it; false when the desktop has none.
    std::function<bool(const std::string& hostPath)> shellOpen;
    // The box's text and title as shown (UTF-8).
    std::function<void(const std::string& text, const std::string& title, MessageIcon icon)>
        showMessage;
    std::string pictureFolder;  // where an exported picture is written
};

ViewerHost DefaultViewerHost();

// The application's name and icon; message boxes then carry exactly their own titles.
void SetUpApplication();

// A message box as the window shows it: the title exactly as given, the icon, an OK button.
std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& title,
                                            MessageIcon icon, QWidget* parent);

class frmMain : public QWidget, private MessageBox, private WindowOps {
    Q_OBJECT
  public:
    explicit frmMain(ViewerHost host, QWidget* parent = nullptr);
    ~frmMain() override;

    // The controls, named as the design names them; children of the window.
    KeyboardMoves<QTreeWidget> TreeView1;
    KeyboardMoves<QListView> ListView4;    // file list
    KeyboardMoves<QTreeWidget> ListView1;  // ID3v2
    QTreeWidget ListView2;                 // ID3v1
    QTreeWidget ListView3;                 // MPEG
    QPlainTextEdit Text1;                  // lyrics

    const AnalysisState& State() const { return state_; }
    RowList& FileList() { return fileList_; }
    ListPane& Id3v2Pane() { return id3v2Pane_; }
    ListPane& Id3v1Pane() { return id3v1Pane_; }
    ListPane& MpegPane() { return mpegPane_; }
    TextPane& LyricsPane() { return lyricsPane_; }
    QtTreePane& Tree() { return tree_; }

    // Event handlers.
    void Form_Load();
    void ListView4_ItemClick(const QModelIndex& item);
    void ListView4_MouseMove(const QPoint& position);
    void ListView1_ItemClick(QTreeWidgetItem* item);
    void TreeView1_Expand(QTreeWidgetItem* item);
    void TreeView1_NodeClick(QTreeWidgetItem* item);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Show(std::string_view text, std::string_view title, MessageIcon icon) override;
    void ShowBox(const QString& text, const QString& title, MessageIcon icon);
    void SetBusyPointer(bool busy) override;
    void SuspendRedraw() override;
    void ResumeRedraw() override;
    void ShellOpen(const std::string& path) override;

    ViewerHost host_;
    HostFileAccess files_;
    std::shared_ptr<FolderAccess> folders_;
    std::string unopened_;  // a written picture the desktop has no program for
    ImageList ImageList2;
    MemoryScratchList List1;
    QtTreePane tree_;
    QtFileList fileList_;
    QtListPane id3v2Pane_;
    QtListPane id3v1Pane_;
    QtListPane mpegPane_;
    QtTextPane lyricsPane_;
    FolderTree folderTree_;
    ResultPanes panes_;
    Services services_;
    AnalysisState state_;
};

}  // namespace veltrane
