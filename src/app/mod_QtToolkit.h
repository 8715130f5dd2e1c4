// The toolkit operations on real Qt widgets. Cells and node texts keep the logic's own bytes;
// what the widget shows is decoded at this edge: Windows-1252 for file contents, UTF-8 for the
// host's file names.
#pragma once

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QMap>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/mod__Toolkit.h"

namespace veltrane {

enum class TextKind { Cp1252, HostName };

QString ShownText(std::string_view bytes, TextKind kind);

// A QTreeWidget in report form (or a one-column file list) as a ListPane.
class QtListPane final : public ListPane {
  public:
    QtListPane(QTreeWidget& view, TextKind kind) : view_(view), kind_(kind) {}
    void Clear() override;
    int AddRow(std::string_view text) override;
    void SetSubItem(int row, int column, std::string_view text) override;
    void SetCellColor(int row, int column, Rgb color) override;
    void SetSorting(bool on, int column) override;
    int RowCount() const override;
    std::string CellText(int row, int column) const override;
    int FirstVisibleIndex() const override;
    void SetToolTip(std::string_view text) override;
    std::string ToolTip() const override;

    // The bytes a row of the view holds in a column.
    static std::string RawText(const QTreeWidgetItem& item, int column);

  private:
    void SetCell(QTreeWidgetItem& item, int column, std::string_view text);
    QTreeWidget& view_;
    TextKind kind_;
    std::string toolTip_;
};

// The file list: a model of plain names behind a list view. A folder of many thousand files
// costs a vector of names, not a widget item per file; the view asks only for the rows it shows.
// A refill, from Clear to Shown, reaches the view as one reset.
class QtFileList final : public QAbstractListModel, public RowList {
  public:
    explicit QtFileList(QAbstractItemView& view) : view_(view) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void Clear() override;
    int AddRow(std::string_view text) override;
    int RowCount() const override { return static_cast<int>(names_.size()); }
    std::string CellText(int row, int column) const override;
    void SetToolTip(std::string_view text) override;
    std::string ToolTip() const override { return toolTip_; }
    // The rows since Clear go to the view.
    void Shown();

  private:
    bool filling_ = false;
    QAbstractItemView& view_;
    // The host's bytes, shown decoded as UTF-8 with a "/" shown as the "\\" it stands for.
    std::vector<std::string> names_;
    std::string toolTip_;
};

class QtTextPane final : public TextPane {
  public:
    explicit QtTextPane(QPlainTextEdit& box) : box_(box) {}
    void SetText(std::string_view text) override;
    std::string Text() const override { return text_; }

  private:
    QPlainTextEdit& box_;
    std::string text_;
};

// The image list: the window's own drawings by key, drawn for 1x, 1.5x, 2x and 3x screens
// from vector images built into the program, so that none is a small image scaled up whatever
// the desktop's theme holds.
class ImageList {
  public:
    ImageList();
    QIcon Get(const std::string& key) const { return icons_.value(QString::fromStdString(key)); }

  private:
    QMap<QString, QIcon> icons_;
};

// The window's own icon, drawn for every usual size.
QIcon ApplicationIcon();

// Which keys a list or tree takes: the ones that move its current row (arrows, Home, End, Page
// Up and Down) and typing the first letters of a row's text. Every other key does nothing.
enum class KeyUse { Ignored, Move, TypeAhead };
KeyUse KeyUseOf(const QKeyEvent& event);

// A list view or tree whose keyboard only moves the selection; each move is told to moved, as
// the designed desktop's list views fire their item-click event for it, so that the highlight
// and what the panes show never disagree.
template <typename View>
class KeyboardMoves final : public View {
  public:
    using View::View;
    std::function<void()> moved;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QPersistentModelIndex before = this->currentIndex();
        switch (KeyUseOf(*event)) {
            case KeyUse::Move:
                View::keyPressEvent(event);
                break;
            case KeyUse::TypeAhead:
                this->keyboardSearch(event->text());
                event->accept();
                break;
            case KeyUse::Ignored:
                event->ignore();
                return;
        }
        if (this->currentIndex() != before && this->currentIndex().isValid() && moved) {
            moved();
        }
    }
};

// The folder tree. A node shows its image, and its selected image while it is the current one.
class QtTreePane final : public TreePane {
  public:
    QtTreePane(QTreeWidget& view, const ImageList& images);
    void Clear() override;
    NodeId AddNode(NodeId parent, std::optional<std::string> key, std::string_view text,
                   std::string_view image, std::string_view selectedImage) override;
    int ChildCount(NodeId node) const override;
    NodeId FirstChild(NodeId node) const override;
    NodeId NextSibling(NodeId node) const override;
    int Index(NodeId node) const override { return node; }
    std::string FullPath(NodeId node) const override;
    NodeId FirstNode() const override { return items_.empty() ? kNoNode : 1; }

    QTreeWidgetItem* Item(NodeId node) const;
    NodeId NodeOf(const QTreeWidgetItem* item) const;
    // The name of a node's image in the image list, or of its selected image; "" for no node.
    std::string ImageName(NodeId node, bool selected = false) const;

  private:
    QIcon Icon(const QTreeWidgetItem& item, int role) const;
    QTreeWidget& view_;
    const ImageList& images_;
    struct Node {
        QTreeWidgetItem* item;  // owned by the view
        int position;           // among its siblings; nodes are only ever appended
    };
    std::vector<Node> items_;  // node n is items_[n - 1]
};

}  // namespace veltrane
