// Read-ahead for a cold page cache. While the jobs have to wait for the disk, helper threads ask
// the host to start reading the heads and tails of the next files found, a little ahead of the
// jobs, so that the disk has several reads to serve at once. With a warm cache no job waits for
// the disk and the helpers sleep.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "report/mod_OrderedPipeline.h"

namespace veltrane {

class ReadAhead {
  public:
    static constexpr unsigned kHelpers = 4;
    static constexpr std::size_t kAhead = 16;  // files past the last one claimed
    static constexpr std::size_t kHead = 16 * 1024;
    static constexpr std::size_t kTail = 8 * 1024;

    // Starts its helpers through start when on; off, every call does nothing.
    ReadAhead(bool on, const ThreadStarter& start);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The producer found the file of this number (numbers count up from 0).
    void Found(std::size_t index, const std::string& path);
    // A job took the file of this number.
    void Claimed(std::size_t index);
    // A job is done with a file; fromDisk: it had to wait for the disk.
    void Done(bool fromDisk);
    bool On() const { return on_; }

  private:
    void Help();
    bool on_;
    std::mutex mutex_;
    std::condition_variable wanted_;
    std::deque<std::pair<std::size_t, std::string>> found_;  // numbered past the last claimed
    std::size_t claimed_ = 0;
    bool fromDisk_ = false;
    bool finished_ = false;
    std::vector<std::jthread> helpers_;
};

}  // namespace veltrane
