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

}  // namespace veltrane
