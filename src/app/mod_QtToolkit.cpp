#include "app/mod_QtToolkit.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <memory>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

namespace {

constexpr int kRawRole = Qt::UserRole + 1;

// A row whose sort order is the logic's own: the column's bytes compared after lower-casing
// ASCII letters, not the view's case-sensitive comparison of the shown strings.
class PaneItem final : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        return CompareIgnoringCase(QtListPane::RawText(*this, column),
                                   QtListPane::RawText(other, column)) < 0;
    }
};

}  // namespace

// A file name as the list shows it: a name can hold no "/", and the folder search lists a
// host name's own "\\" as one (the drive form separates folders with "\\").
QString ShownFileName(std::string_view bytes) {
    return ShownText(bytes, TextKind::HostName).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

QString ShownText(std::string_view bytes, TextKind kind) {
    if (kind == TextKind::Cp1252) {
        return QString::fromStdString(ShownUtf8(bytes));
    }
    const std::string_view cut = BeforeNul(bytes);
    return QString::fromUtf8(cut.data(), static_cast<qsizetype>(cut.size()));
}

std::string QtListPane::RawText(const QTreeWidgetItem& item, int column) {
    return item.data(column, kRawRole).toByteArray().toStdString();
}

void QtListPane::Clear() {
    view_.clear();
    // A refilled pane shows its first row, as a new one does.
    view_.scrollToTop();
}

void QtListPane::SetCell(QTreeWidgetItem& item, int column, std::string_view text) {
    const std::string_view cut = BeforeNul(text);
    item.setData(column, kRawRole, QByteArray(cut.data(), static_cast<qsizetype>(cut.size())));
    item.setText(column, ShownText(cut, kind_));
}

int QtListPane::AddRow(std::string_view text) {
    auto item = std::make_unique<PaneItem>();
    SetCell(*item, 0, text);
    QTreeWidgetItem* added = item.get();
    view_.addTopLevelItem(item.release());  // the view owns its rows
    return view_.indexOfTopLevelItem(added);
}

void QtListPane::SetSubItem(int row, int column, std::string_view text) {
    if (QTreeWidgetItem* item = view_.topLevelItem(row)) {
        SetCell(*item, column, text);
    }
}

void QtListPane::SetCellColor(int row, int column, Rgb color) {
    if (QTreeWidgetItem* item = view_.topLevelItem(row)) {
        item->setForeground(column, QColor(color.red, color.green, color.blue));
    }
}

void QtListPane::SetSorting(bool on, int column) {
    view_.setSortingEnabled(false);
    if (on) {
        view_.sortItems(column, Qt::AscendingOrder);
        view_.setSortingEnabled(true);
        // The pane sorts itself; its column headers take no clicks and show no indicator.
        view_.header()->setSortIndicatorShown(false);
        view_.header()->setSectionsClickable(false);
    }
}

int QtListPane::RowCount() const {
    return view_.topLevelItemCount();
}

std::string QtListPane::CellText(int row, int column) const {
    const QTreeWidgetItem* item = view_.topLevelItem(row);
    return item == nullptr ? std::string{} : RawText(*item, column);
}

int QtListPane::FirstVisibleIndex() const {
    const QModelIndex top = view_.indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() + 1 : 1;
}

void QtListPane::SetToolTip(std::string_view text) {
    toolTip_ = std::string(text);
    view_.setToolTip(ShownText(text, kind_));
}

std::string QtListPane::ToolTip() const {
    return toolTip_;
}

int QtFileList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

QVariant QtFileList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= RowCount()) {
        return {};
    }
    return ShownFileName(names_[static_cast<std::size_t>(index.row())]);
}

void QtFileList::Clear() {
    if (!filling_) {
        beginResetModel();
        filling_ = true;
    }
    names_.clear();
}

int QtFileList::AddRow(std::string_view text) {
    const int row = RowCount();
    if (!filling_) {
        beginInsertRows(QModelIndex(), row, row);
    }
    names_.emplace_back(BeforeNul(text));
    if (!filling_) {
        endInsertRows();
    }
    return row;
}

void QtFileList::Shown() {
    if (filling_) {
        filling_ = false;
        endResetModel();
    }
    // A refilled list shows its first row, as the panes do.
    view_.scrollToTop();
}

std::string QtFileList::CellText(int row, int column) const {
    if (column != 0 || row < 0 || row >= RowCount()) {
        return {};
    }
    return names_[static_cast<std::size_t>(row)];
}

void QtFileList::SetToolTip(std::string_view text) {
    toolTip_ = std::string(text);
    view_.setToolTip(ShownFileName(text));
}

void QtTextPane::SetText(std::string_view text) {
    text_ = CutAtNul(text);
    box_.setPlainText(QString::fromStdString(Cp1252ToUtf8(text_)).replace("\r\n", "\n"));
}

namespace {

// An icon drawn from a built-in vector image at each size a screen may ask for.
QIcon Drawn(const QString& resource, std::initializer_list<int> sizes) {
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (const int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

ImageList::ImageList() {
    for (const char* key :
         {"none", "floppy", "disc", "cd", "net", "ram", "folderclosed", "folderopen"}) {
        icons_.insert(key, Drawn(QStringLiteral(":/images/%1.svg").arg(key), {16, 24, 32, 48}));
    }
}

QIcon ApplicationIcon() {
    return Drawn(QStringLiteral(":/veltrane.svg"), {16, 24, 32, 48, 64, 128, 256});
}

KeyUse KeyUseOf(const QKeyEvent& event) {
    if ((event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        return KeyUse::Ignored;
    }
    switch (event.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            return KeyUse::Move;
        default:
            break;
    }
    const QString text = event.text();
    return !text.isEmpty() && text.at(0).isPrint() ? KeyUse::TypeAhead : KeyUse::Ignored;
}

namespace {

constexpr int kImageRole = kRawRole + 3;
constexpr int kSelectedImageRole = kRawRole + 4;

}  // namespace

QtTreePane::QtTreePane(QTreeWidget& view, const ImageList& images) : view_(view), images_(images) {
    QObject::connect(&view_, &QTreeWidget::currentItemChanged, &view_,
                     [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
                         if (previous != nullptr) {
                             previous->setIcon(0, Icon(*previous, kImageRole));
                         }
                         if (current != nullptr) {
                             current->setIcon(0, Icon(*current, kSelectedImageRole));
                         }
                     });
}

QIcon QtTreePane::Icon(const QTreeWidgetItem& item, int role) const {
    return images_.Get(item.data(0, role).toString().toStdString());
}

void QtTreePane::Clear() {
    view_.clear();
    items_.clear();
}

NodeId QtTreePane::AddNode(NodeId parent, std::optional<std::string> key, std::string_view text,
                           std::string_view image, std::string_view selectedImage) {
    auto owned = std::make_unique<QTreeWidgetItem>();
    QTreeWidgetItem* item = owned.get();
    int position = 0;
    if (parent == kNoNode) {
        position = view_.topLevelItemCount();
        view_.addTopLevelItem(owned.release());  // the view owns its nodes
    } else {
        position = Item(parent)->childCount();
        Item(parent)->addChild(owned.release());
    }
    item->setData(0, kRawRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    if (key) {
        item->setData(0, kRawRole + 1, QString::fromStdString(*key));
    }
    item->setText(0, ShownText(text, TextKind::HostName));
    item->setData(0, kImageRole, QString::fromStdString(std::string(image)));
    item->setData(0, kSelectedImageRole, QString::fromStdString(std::string(selectedImage)));
    item->setIcon(0, Icon(*item, kImageRole));
    items_.push_back({item, position});
    const auto node = static_cast<NodeId>(items_.size());
    item->setData(0, kRawRole + 2, node);
    return node;
}

std::string QtTreePane::ImageName(NodeId node, bool selected) const {
    const QTreeWidgetItem* item = Item(node);
    return item == nullptr
               ? std::string()
               : item->data(0, selected ? kSelectedImageRole : kImageRole).toString().toStdString();
}

QTreeWidgetItem* QtTreePane::Item(NodeId node) const {
    if (node < 1 || static_cast<std::size_t>(node) > items_.size()) {
        return nullptr;
    }
    return items_[static_cast<std::size_t>(node - 1)].item;
}

NodeId QtTreePane::NodeOf(const QTreeWidgetItem* item) const {
    return item == nullptr ? kNoNode : item->data(0, kRawRole + 2).toInt();
}

int QtTreePane::ChildCount(NodeId node) const {
    const QTreeWidgetItem* item = Item(node);
    return item == nullptr ? 0 : item->childCount();
}

NodeId QtTreePane::FirstChild(NodeId node) const {
    const QTreeWidgetItem* item = Item(node);
    return item == nullptr || item->childCount() == 0 ? kNoNode : NodeOf(item->child(0));
}

NodeId QtTreePane::NextSibling(NodeId node) const {
    QTreeWidgetItem* item = Item(node);
    if (item == nullptr) {
        return kNoNode;
    }
    QTreeWidgetItem* parent = item->parent();
    const int index = items_[static_cast<std::size_t>(node - 1)].position;
    QTreeWidgetItem* next =
        parent != nullptr ? parent->child(index + 1) : view_.topLevelItem(index + 1);
    return NodeOf(next);
}

std::string QtTreePane::FullPath(NodeId node) const {
    std::string path;
    bool first = true;
    for (const QTreeWidgetItem* item = Item(node); item != nullptr; item = item->parent()) {
        path = first ? QtListPane::RawText(*item, 0) : QtListPane::RawText(*item, 0) + "\\" + path;
        first = false;
    }
    return path;
}

}  // namespace veltrane
