// The window-toolkit operations the logic writes into, as small interfaces, with in-memory
// implementations used by the report tool (and the tests). The Qt viewer implements the same
// interfaces with real widgets.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrane {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kPureBlue{0, 0, 255};

// A list of rows of text: the file list's one column, and the base of the report-form panes.
// A cell holds its text up to the first NUL, as the native list control does, so every
// implementation cuts there on the way in.
class RowList {
  public:
    virtual ~RowList() = default;
    virtual void Clear() = 0;
    // Appends a row with its first text; returns its 0-based position (valid until sorting is
    // switched on).
    virtual int AddRow(std::string_view text) = 0;
    virtual int RowCount() const = 0;
    // Text of a cell by 0-based row and column, in the order shown.
    virtual std::string CellText(int row, int column) const = 0;
    virtual void SetToolTip(std::string_view text) = 0;
    virtual std::string ToolTip() const = 0;
};

// A report-form list: rows of up to three texts.
class ListPane : public RowList {
  public:
    // Sets the text of sub-item 1 or 2 of a row.
    virtual void SetSubItem(int row, int column, std::string_view text) = 0;
    virtual void SetCellColor(int row, int column, Rgb color) = 0;
    // Automatic sorting off, or on by a column, ascending, ignoring case.
    virtual void SetSorting(bool on, int column) = 0;
    // 1-based index of the first visible row.
    virtual int FirstVisibleIndex() const = 0;
};

class TextPane {
  public:
    virtual ~TextPane() = default;
    // Replaces the whole text (line breaks as CR LF). The box shows it up to its first NUL.
    virtual void SetText(std::string_view text) = 0;
    virtual std::string Text() const = 0;
};

using NodeId = int;  // 0 is no node
inline constexpr NodeId kNoNode = 0;

class TreePane {
  public:
    virtual ~TreePane() = default;
    virtual void Clear() = 0;
    // Appends a root node (parent kNoNode) or a last child; returns the node.
    virtual NodeId AddNode(NodeId parent, std::optional<std::string> key, std::string_view text,
                           std::string_view image, std::string_view selectedImage) = 0;
    virtual int ChildCount(NodeId node) const = 0;
    virtual NodeId FirstChild(NodeId node) const = 0;
    virtual NodeId NextSibling(NodeId node) const = 0;
    // 1-based position in the order of addition.
    virtual int Index(NodeId node) const = 0;
    // The texts from the root down to the node, joined by "\".
    virtual std::string FullPath(NodeId node) const = 0;
    virtual NodeId FirstNode() const = 0;
};

class ScratchList {
  public:
    virtual ~ScratchList() = default;
    virtual void Clear() = 0;
    virtual void Add(std::string_view text) = 0;
    virtual int Count() const = 0;
    virtual std::string Item(int index) const = 0;  // 0-based
};

enum class MessageIcon { None, Critical, Information };

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    // A modal box with the text, the title, the icon and an OK button.
    virtual void Show(std::string_view text, std::string_view title, MessageIcon icon) = 0;
};

// The main window's pointer and redrawing, and the desktop shell.
class WindowOps {
  public:
    virtual ~WindowOps() = default;
    virtual void SetBusyPointer(bool busy) = 0;
    virtual void SuspendRedraw() = 0;
    virtual void ResumeRedraw() = 0;
    // Opens a file with its default program.
    virtual void ShellOpen(const std::string& path) = 0;
};

// ---------------------------------------------------------------------------------------------
// In-memory implementations.

class MemoryListPane final : public ListPane {
  public:
    struct Row {
        std::array<std::string, 3> cells;
        std::array<std::optional<Rgb>, 3> colors;
    };

    void Clear() override { rows_.clear(); }
    int AddRow(std::string_view text) override;
    void SetSubItem(int row, int column, std::string_view text) override;
    void SetCellColor(int row, int column, Rgb color) override;
    void SetSorting(bool on, int column) override;
    int RowCount() const override { return static_cast<int>(rows_.size()); }
    std::string CellText(int row, int column) const override;
    int FirstVisibleIndex() const override { return 1; }  // nothing scrolls
    void SetToolTip(std::string_view text) override { toolTip_ = std::string(text); }
    std::string ToolTip() const override { return toolTip_; }

    const std::vector<Row>& Rows() const { return rows_; }

  private:
    void Sort();
    std::vector<Row> rows_;
    bool sorted_ = false;
    int sortColumn_ = 0;
    std::string toolTip_;
};

class MemoryTextPane final : public TextPane {
  public:
    void SetText(std::string_view text) override;
    std::string Text() const override { return text_; }

  private:
    std::string text_;
};

class MemoryScratchList final : public ScratchList {
  public:
    void Clear() override { items_.clear(); }
    void Add(std::string_view text) override { items_.emplace_back(text); }
    int Count() const override { return static_cast<int>(items_.size()); }
    std::string Item(int index) const override {
        return items_.at(static_cast<std::size_t>(index));
    }

  private:
    std::vector<std::string> items_;
};

class MemoryMessageBox final : public MessageBox {
  public:
    struct Message {
        std::string text;
        std::string title;
        MessageIcon icon = MessageIcon::None;
    };
    void Show(std::string_view text, std::string_view title, MessageIcon icon) override {
        messages_.push_back({std::string(text), std::string(title), icon});
    }
    const std::vector<Message>& Messages() const { return messages_; }
    void Clear() { messages_.clear(); }

  private:
    std::vector<Message> messages_;
};

// The window operations of a front end with no window (the report tool): no pointer to set,
// nothing to redraw, and no desktop to hand a file to.
class MemoryWindowOps final : public WindowOps {
  public:
    void SetBusyPointer(bool /*busy*/) override {}
    void SuspendRedraw() override {}
    void ResumeRedraw() override {}
    void ShellOpen(const std::string& /*path*/) override {}
};

}  // namespace veltrane
