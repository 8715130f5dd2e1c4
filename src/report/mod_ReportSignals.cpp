#include "report/mod_ReportSignals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <system_error>

namespace veltrane {

namespace {

// The signals a user or a session manager ends a run with, and the one that ends the waiting
// thread at the end of a run (sent to that thread only).
sigset_t Signals(bool withWake) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    if (withWake) {
        sigaddset(&set, SIGUSR2);
    }
    return set;
}

}  // namespace

class Interruptions::Watched final : public OutputFile {
  public:
    Watched(std::unique_ptr<OutputFile> file, Interruptions& owner)
        : file_(std::move(file)), owner_(owner) {}
    ~Watched() override {
        const std::lock_guard lock(owner_.mutex_);
        file_.reset();
        owner_.temporary_.clear();
    }
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;
    bool Write(std::span<const char> bytes) override { return file_->Write(bytes); }
    bool Commit() override {
        const std::lock_guard lock(owner_.mutex_);
        owner_.temporary_.clear();
        return file_->Commit();
    }
    std::string TemporaryPath() const override { return file_->TemporaryPath(); }

  private:
    std::unique_ptr<OutputFile> file_;
    Interruptions& owner_;
};

Interruptions::Interruptions(bool clearsProgressLine) : clearsProgressLine_(clearsProgressLine) {
    const sigset_t all = Signals(true);
    // The waiting thread starts with the wake signal blocked too; this thread and those it
    // starts later keep only the three blocked.
    ::pthread_sigmask(SIG_BLOCK, &all, &before_);
    try {
        thread_ = std::jthread([this] { Wait(); });
        active_ = true;
    } catch (const std::system_error&) {
        ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
        return;
    }
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, SIGUSR2);
    if (!sigismember(&before_, SIGUSR2)) {
        ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);
    }
}

Interruptions::~Interruptions() {
    if (!active_) {
        return;
    }
    ::pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
    ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);  // as the caller had it
}

void Interruptions::Wait() {
    const sigset_t all = Signals(true);
    int signal = 0;
    while (::sigwait(&all, &signal) != 0) {
    }
    if (signal == SIGUSR2) {
        return;  // the run is over
    }
    // Output under way finishes its block, unless it is stuck (a reader that does not read).
    const bool outputHeld = output_.try_lock_for(std::chrono::milliseconds(500));
    (void)outputHeld;  // held until the process ends
    mutex_.lock();     // no export creates, commits or drops its file from here on
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
    if (clearsProgressLine_) {
        constexpr char kClear[] = "\r\x1b[K";
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, kClear, sizeof kClear - 1);
    }
    // Ended by the signal itself, as if it had not been caught: the parent sees what it sent,
    // and a shell shows 128 + n.
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    ::sigaction(signal, &usual, nullptr);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::pthread_kill(::pthread_self(), signal);
    ::_exit(128 + signal);
}

std::unique_ptr<OutputFile> Interruptions::CreateWrite(FileAccess& files, const std::string& path) {
    const std::lock_guard lock(mutex_);
    auto file = files.CreateWrite(path);
    if (file == nullptr) {
        return nullptr;
    }
    temporary_ = file->TemporaryPath();
    return std::make_unique<Watched>(std::move(file), *this);
}

}  // namespace veltrane
