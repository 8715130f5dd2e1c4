#include "app/frmMain.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QToolTip>
#include <QUrl>

#include "browse/mod_Directory.h"
#include "common/mod__HelperFunctions.h"
#include "id3v2/mod_MP3__ID3TAGDefinitions.h"

namespace veltrane {

namespace {

// The design's positions are in twips; 15 twips make one device-independent pixel, which the
// toolkit scales on a high-density screen.
QRect Twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

void SetUpReport(QTreeWidget& view, const QStringList& columns, const QList<int>& widths) {
    view.setColumnCount(static_cast<int>(columns.size()));
    view.setHeaderLabels(columns);
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < widths.size(); ++i) {
        view.setColumnWidth(i, widths[i]);
    }
}

}  // namespace

namespace {

// Whether the desktop names a program for the file's type. Without the desktop's own query
// tool the open is tried and its own answer taken.
bool DesktopHasProgramFor(const QString& path) {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) {
        return true;
    }
    const auto ask = [&](const QStringList& arguments) {
        QProcess process;
        process.start(query, arguments);
        return process.waitForFinished(5000)
                   ? QString::fromUtf8(process.readAllStandardOutput()).trimmed()
                   : QString();
    };
    const QString type = ask({QStringLiteral("query"), QStringLiteral("filetype"), path});
    return !type.isEmpty() &&
           !ask({QStringLiteral("query"), QStringLiteral("default"), type}).isEmpty();
}

}  // namespace

ViewerHost DefaultViewerHost() {
    ViewerHost host;
    host.drives = HostDrives();
    host.shellOpen = [](const std::string& hostPath) {
        const QString path = QString::fromStdString(hostPath);
        return DesktopHasProgramFor(path) && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    host.pictureFolder = (cache.isEmpty() ? QDir::tempPath() + "/veltrane" : cache).toStdString();
    return host;
}

void SetUpApplication() {
    // No display name: the toolkit would append it to every window's title, and a message
    // box's title is the name of the operation alone.
    QApplication::setApplicationName(QStringLiteral("veltrane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("veltrane"));
    QApplication::setWindowIcon(ApplicationIcon());
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& text, const QString& title,
                                            MessageIcon icon, QWidget* parent) {
    const QMessageBox::Icon shown = icon == MessageIcon::Critical      ? QMessageBox::Critical
                                    : icon == MessageIcon::Information ? QMessageBox::Information
                                                                       : QMessageBox::NoIcon;
    auto box = std::make_unique<QMessageBox>(shown, title, text, QMessageBox::Ok, parent);
    box->setWindowTitle(title);
    return box;
}

frmMain::frmMain(ViewerHost host, QWidget* parent)
    : QWidget(parent),
      TreeView1(this),
      ListView4(this),
      ListView1(this),
      ListView2(this),
      ListView3(this),
      Text1(this),
      host_(std::move(host)),
      files_(RootsOf(host_.drives)),
      folders_(host_.folders ? host_.folders : std::make_shared<HostFolderAccess>(host_.drives)),
      tree_(TreeView1, ImageList2),
      fileList_(ListView4),
      id3v2Pane_(ListView1, TextKind::Cp1252),
      id3v1Pane_(ListView2, TextKind::Cp1252),
      mpegPane_(ListView3, TextKind::Cp1252),
      lyricsPane_(Text1),
      folderTree_{tree_, List1, *folders_},
      panes_{id3v2Pane_, id3v1Pane_, mpegPane_, lyricsPane_},
      services_{files_, *this, *this} {
    setWindowTitle(QStringLiteral("MP3 TAG Veltrane"));
    setWindowIcon(ApplicationIcon());

    TreeView1.setObjectName("TreeView1");
    TreeView1.setHeaderHidden(true);
    // Deep and long folder names can be read: the tree scrolls sideways, as the designed
    // desktop's tree views do.
    TreeView1.header()->setStretchLastSection(false);
    TreeView1.header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    TreeView1.setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TreeView1.setGeometry(Twips(0, 0, 3495, 3855));

    SetUpReport(ListView2, {"Item", "Value"}, {95});
    ListView2.setObjectName("ListView2");
    ListView2.setToolTip("ID3 V1(.1) TAG");
    ListView2.setGeometry(Twips(0, 3840, 3495, 1575));

    SetUpReport(ListView3, {"Item", "Value"}, {95});
    ListView3.setObjectName("ListView3");
    ListView3.setToolTip("Binary data of MP3");
    ListView3.setGeometry(Twips(0, 5400, 3495, 3495));

    ListView4.setModel(&fileList_);
    ListView4.setObjectName("ListView4");
    ListView4.setUniformItemSizes(true);
    ListView4.setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView4.setGeometry(Twips(3480, 0, 5655, 3135));
    ListView4.setMouseTracking(true);
    ListView4.viewport()->setMouseTracking(true);
    ListView4.viewport()->installEventFilter(this);

    SetUpReport(ListView1, {"TAG", "Text", "Value"}, {50, 150});
    ListView1.setObjectName("ListView1");
    ListView1.setToolTip("ID3 V2/3 TAG");
    ListView1.setGeometry(Twips(3480, 3120, 5655, 3255));

    Text1.setObjectName("Text1");
    Text1.setReadOnly(true);
    Text1.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1.setToolTip("Lyricsinformation");
    Text1.setGeometry(Twips(3480, 6360, 5655, 2535));

    setTabOrder(&ListView1, &ListView2);
    setTabOrder(&ListView2, &Text1);
    setTabOrder(&Text1, &ListView3);
    setTabOrder(&ListView3, &TreeView1);
    setTabOrder(&TreeView1, &ListView4);

    // The controls have fixed places: the window keeps its designed size, with no maximise.
    setFixedSize(Twips(0, 0, 9135, 8895).size());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    connect(&ListView4, &QListView::clicked, this,
            [this](const QModelIndex& item) { ListView4_ItemClick(item); });
    connect(&ListView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { ListView1_ItemClick(item); });
    connect(&TreeView1, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { TreeView1_Expand(item); });
    connect(&TreeView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { TreeView1_NodeClick(item); });
    // A selection moved with the keyboard is a click on the row it moved to.
    ListView4.moved = [this] { ListView4_ItemClick(ListView4.currentIndex()); };
    ListView1.moved = [this] { ListView1_ItemClick(ListView1.currentItem()); };
    TreeView1.moved = [this] { TreeView1_NodeClick(TreeView1.currentItem()); };

    Form_Load();
}

frmMain::~frmMain() {
    // The controls die before the window's base: no event may reach the filter meanwhile.
    ListView4.viewport()->removeEventFilter(this);
}

void frmMain::Form_Load() {
    InitId3Definitions();
    LoadDrives(folderTree_);
    // With no drive at all there is no first node to show.
    if (const NodeId first = tree_.FirstNode(); first != kNoNode) {
        TreeView1_NodeClick(tree_.Item(first));
    }
}

void frmMain::ListView4_ItemClick(const QModelIndex& item) {
    if (!item.isValid()) {
        return;
    }
    // The clicked row is shown selected before the analysis, which may stop at a message box.
    ListView4.setCurrentIndex(item);
    ListView4.viewport()->repaint();
    AnalyseListedFile(state_, fileList_.CellText(item.row(), 0), panes_, services_);
}

void frmMain::ListView4_MouseMove(const QPoint& position) {
    if (fileList_.RowCount() == 0) {
        return;
    }
    // The row under the pointer, from the list's own row geometry.
    const QModelIndex index = ListView4.indexAt(position);
    fileList_.SetToolTip(index.isValid() ? fileList_.CellText(index.row(), 0) : std::string{});
}

void frmMain::ListView1_ItemClick(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    const std::string tag = QtListPane::RawText(*item, 0);
    if (tag == "APIC") {
        CreateFolders(host_.pictureFolder);  // a failure shows as the export's "Cannot Write"
    }
    std::string written;
    unopened_.clear();
    PictureRowClick(state_, tag, services_, host_.pictureFolder, true, written);
    if (!unopened_.empty()) {
        // Said once the busy pointer is back; the path is the host's, shown as UTF-8.
        ShowBox(
            QStringLiteral("No program on this desktop opens the picture. It was written to\n") +
                QString::fromStdString(unopened_),
            QStringLiteral("Showpicture"), MessageIcon::Information);
    }
}

void frmMain::TreeView1_Expand(QTreeWidgetItem* item) {
    veltrane::TreeView1_Expand(folderTree_, tree_.NodeOf(item));
}

void frmMain::TreeView1_NodeClick(QTreeWidgetItem* item) {
    if (item == nullptr) {
        return;
    }
    veltrane::TreeView1_NodeClick(folderTree_, fileList_, tree_.NodeOf(item), state_.tActualNode,
                                  state_.sActualPath);
    fileList_.Shown();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView4.viewport()) {
        if (event->type() == QEvent::MouseMove) {
            ListView4_MouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::ToolTip) {
            // The list's own tooltip, not a per-row one.
            const auto* help = static_cast<QHelpEvent*>(event);
            QToolTip::showText(help->globalPos(), ListView4.toolTip(), &ListView4);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::Show(std::string_view text, std::string_view title, MessageIcon icon) {
    ShowBox(QString::fromStdString(Cp1252ToUtf8(text)).replace("\r\n", "\n"),
            ShownText(title, TextKind::Cp1252), icon);
}

void frmMain::ShowBox(const QString& text, const QString& title, MessageIcon icon) {
    if (host_.showMessage) {
        host_.showMessage(text.toStdString(), title.toStdString(), icon);
        return;
    }
    MakeMessageBox(text, title, icon, this)->exec();
}

void frmMain::SetBusyPointer(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void frmMain::SuspendRedraw() {
    setUpdatesEnabled(false);
}

void frmMain::ResumeRedraw() {
    setUpdatesEnabled(true);
}

void frmMain::ShellOpen(const std::string& path) {
    if (host_.shellOpen && !host_.shellOpen(path)) {
        unopened_ = path;
    }
}

}  // namespace veltrane
