// The progress line of a long report: files done of those found, files a second and, once the
// walk is over, the time left; on standard error, redrawn in place at most ten times a second,
// out of the way of everything written, and cleared at the end.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string_view>

namespace veltrane {

// Shown when forced on, or, unless forced off, when standard error is a terminal and more
// than one file is analysed.
bool ProgressWanted(std::optional<bool> forced, bool errIsTerminal, std::size_t files);

class Progress {
  public:
    using Clock = std::chrono::steady_clock;

    Progress(std::ostream& err, bool shown, std::size_t total);
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // One more file done; the line is redrawn when a tenth of a second has passed.
    void Done(Clock::time_point now = Clock::now());
    // The files found so far, and whether the walk is over.
    void Total(std::size_t found, bool final);
    // Text for standard error, written with the line out of its way.
    void Write(std::string_view text);
    // Clears the line before something else is written on the terminal, and draws it again.
    void Hide();
    void Show();
    // Clears the line for good.
    void Finish();

  private:
    void Clear();
    void Draw(Clock::time_point now);
    std::ostream& err_;
    bool shown_;
    std::size_t total_;
    bool final_ = true;
    bool hidden_ = false;
    std::size_t done_ = 0;
    Clock::time_point start_ = Clock::now();
    std::optional<Clock::time_point> drawn_;
};

}  // namespace veltrane
