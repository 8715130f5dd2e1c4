#include "report/mod_ReportProgress.h"

#include <algorithm>
#include <string>

#include "common/mod__HelperFunctions.h"

namespace veltrane {

bool ProgressWanted(std::optional<bool> forced, bool errIsTerminal, std::size_t files) {
    return forced.value_or(errIsTerminal && files > 1);
}

Progress::Progress(std::ostream& err, bool shown, std::size_t total)
    : err_(err), shown_(shown), total_(total) {}

void Progress::Done(Clock::time_point now) {
    ++done_;
    if (shown_ && (!drawn_ || now - *drawn_ >= std::chrono::milliseconds(100))) {
        Draw(now);
    }
}

void Progress::Total(std::size_t found, bool final) {
    total_ = found;
    final_ = final;
}

void Progress::Write(std::string_view text) {
    Hide();
    err_ << text;
    Show();
}

void Progress::Hide() {
    hidden_ = shown_ && drawn_;
    Clear();
}

void Progress::Show() {
    if (hidden_) {
        Draw(*drawn_);
    }
    hidden_ = false;
}

void Progress::Finish() {
    Clear();
    shown_ = false;
}

void Progress::Clear() {
    if (shown_ && drawn_) {
        err_ << "\r\x1b[K" << std::flush;
    }
}

void Progress::Draw(Clock::time_point now) {
    constexpr std::size_t kWidth = 30;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0.0;
    const std::size_t filled = total_ == 0 ? kWidth : std::min(kWidth, kWidth * done_ / total_);
    std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
                       std::to_string(done_) + "/" + std::to_string(total_) +
                       (final_ ? " files  " : "+ files  ") +
                       std::to_string(static_cast<long long>(rate)) + " files/s";
    if (rate > 0 && done_ < total_ && final_) {
        line += "  " +
                FormatDuration(
                    static_cast<std::int64_t>(static_cast<double>(total_ - done_) / rate + 0.5)) +
                " left";
    }
    err_ << line << "\x1b[K" << std::flush;
    drawn_ = now;
}

}  // namespace veltrane
