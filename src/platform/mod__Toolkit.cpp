#include "platform/mod__Toolkit.h"

#include <algorithm>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

int MemoryListPane::AddRow(std::string_view text) {
    Row row;
    row.cells[0] = BeforeNul(text);
    rows_.push_back(std::move(row));
    const int position = static_cast<int>(rows_.size()) - 1;
    if (sorted_) {
        Sort();
    }
    return position;
}

void MemoryListPane::SetSubItem(int row, int column, std::string_view text) {
    rows_.at(static_cast<std::size_t>(row))
        .cells.at(static_cast<std::size_t>(column))
        .assign(BeforeNul(text));
}

void MemoryListPane::SetCellColor(int row, int column, Rgb color) {
    rows_.at(static_cast<std::size_t>(row)).colors.at(static_cast<std::size_t>(column)) = color;
}

void MemoryListPane::SetSorting(bool on, int column) {
    sorted_ = on;
    sortColumn_ = column;
    if (on) {
        Sort();
    }
}

void MemoryListPane::Sort() {
    const auto column = static_cast<std::size_t>(sortColumn_);
    std::stable_sort(rows_.begin(), rows_.end(), [column](const Row& a, const Row& b) {
        return CompareIgnoringCase(a.cells[column], b.cells[column]) < 0;
    });
}

std::string MemoryListPane::CellText(int row, int column) const {
    return rows_.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column));
}

void MemoryTextPane::SetText(std::string_view text) {
    text_ = CutAtNul(text);
}

NodeId MemoryTree::AddNode(NodeId parent, std::optional<std::string> key, std::string_view text,
                           std::string_view image, std::string_view selectedImage) {
    auto& siblings =
        parent == kNoNode ? roots_ : nodes_.at(static_cast<std::size_t>(parent - 1)).children;
    Node node{std::move(key),
              std::string(text),
              std::string(image),
              std::string(selectedImage),
              parent,
              {},
              siblings.size()};
    const auto id = static_cast<NodeId>(nodes_.size() + 1);
    siblings.push_back(id);  // before nodes_ grows: the reference may point into it
    nodes_.push_back(std::move(node));
    return id;
}

int MemoryTree::ChildCount(NodeId node) const {
    return static_cast<int>(Get(node).children.size());
}

NodeId MemoryTree::FirstChild(NodeId node) const {
    const auto& children = Get(node).children;
    return children.empty() ? kNoNode : children.front();
}

NodeId MemoryTree::NextSibling(NodeId node) const {
    const Node& self = Get(node);
    const auto& siblings = self.parent == kNoNode ? roots_ : Get(self.parent).children;
    return self.position + 1 < siblings.size() ? siblings[self.position + 1] : kNoNode;
}

std::string MemoryTree::FullPath(NodeId node) const {
    std::string path = Get(node).text;
    for (NodeId up = Get(node).parent; up != kNoNode; up = Get(up).parent) {
        path = Get(up).text + "\\" + path;
    }
    return path;
}

}  // namespace veltrane
