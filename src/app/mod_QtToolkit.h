// The toolkit operations on real Qt widgets. Cells and node texts keep the logic's own bytes;
// what the widget shows is decoded at this edge: Windows-1252 for file contents, UTF-8 for the
// host's file names.
#pragma once

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QIcon>
#include <QMap>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <functional>
#include <memory>
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

    // Hands the rows added since the last call to the view in one insertion. Rows also reach
    // the view on their own at the next turn of the event loop.
    void Flush();

  private:
    void SetCell(QTreeWidgetItem& item, int column, std::string_view text);
    QTreeWidgetItem* Row(int row) const;
    QTreeWidget& view_;
    TextKind kind_;
    std::string toolTip_;
    // Rows added but not yet in the view: inserting them one by one costs the view a layout
    // pass each, which made a folder of 10,000 files slow to list.
    std::vector<std::unique_ptr<QTreeWidgetItem>> pending_;
};

// The file list: a model of plain names behind a list view. A folder of many thousand files
// costs a vector of names and one insertion, not a widget item per file; the view asks only
// for the rows it shows.
class QtFileList final : public QAbstractListModel, public ListPane {
  public:
    QtFileList() = default;
    void SetView(QAbstractItemView& view) { view_ = &view; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void Clear() override;
    int AddRow(std::string_view text) override;
    void SetSubItem(int, int, std::string_view) override {}
    void SetCellColor(int, int, Rgb) override {}
    void SetSorting(bool, int) override {}
    int RowCount() const override;
    std::string CellText(int row, int column) const override;
    int FirstVisibleIndex() const override;
    void SetToolTip(std::string_view text) override;
    std::string ToolTip() const override { return toolTip_; }

    // Hands the names added since the last call to the view in one insertion; they also reach
    // it on their own at the next turn of the event loop.
    void Flush();

  private:
    QAbstractItemView* view_ = nullptr;
    std::vector<std::string> names_;  // the host's bytes, shown decoded as UTF-8
    std::size_t shown_ = 0;           // names the view has been told of
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

// The image list: icons by key, from the desktop theme with the style's icons as fallback.
class ImageList {
  public:
    ImageList();
    QIcon Icon(const std::string& image, const std::string& selectedImage) const;
    QIcon Get(const std::string& key) const { return icons_.value(QString::fromStdString(key)); }

  private:
    QMap<QString, QIcon> icons_;
};

class QtTreePane final : public TreePane {
  public:
    QtTreePane(QTreeWidget& view, const ImageList& images) : view_(view), images_(images) {}
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

  private:
    QTreeWidget& view_;
    const ImageList& images_;
    struct Node {
        QTreeWidgetItem* item;  // owned by the view
        int position;           // among its siblings; nodes are only ever appended
    };
    std::vector<Node> items_;  // node n is items_[n - 1]
};

}  // namespace veltrane
