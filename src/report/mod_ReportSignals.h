// What an interruption (SIGINT, SIGTERM, SIGHUP) does to a report: the temporary file of an
// export under way is removed, the progress line cleared, output being written finishes its
// block, and the process ends by the signal, which a shell shows as the status 128 + n.
#pragma once

#include <signal.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/mod__FileAPI.h"

namespace veltrane {

class Interruptions {
  public:
    // The signals are blocked from here on in the calling thread and in the threads it starts,
    // and taken by a thread of their own. When that thread cannot be started, they keep their
    // usual effect.
    explicit Interruptions(bool clearsProgressLine);
    ~Interruptions();
    Interruptions(const Interruptions&) = delete;
    Interruptions& operator=(const Interruptions&) = delete;

    // A file created through files whose temporary name, until it is committed or dropped, is
    // removed on an interruption.
    std::unique_ptr<OutputFile> CreateWrite(FileAccess& files, const std::string& path);
    // Held while a block of output is written, so that an interruption waits (a little) for it.
    std::timed_mutex& Output() { return output_; }

  private:
    class Watched;
    void Wait();
    std::mutex mutex_;  // guards temporary_ and every create, commit and drop of the file
    std::string temporary_;
    std::timed_mutex output_;
    bool clearsProgressLine_;
    bool active_ = false;
    sigset_t before_{};  // the calling thread's mask before
    std::jthread thread_;
};

}  // namespace veltrane
