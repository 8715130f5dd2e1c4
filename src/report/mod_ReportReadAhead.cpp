#include "report/mod_ReportReadAhead.h"

#include "platform/mod__FileAPI.h"

namespace veltrane {

ReadAhead::ReadAhead(bool on, const ThreadStarter& start) : on_(on) {
    for (unsigned h = 0; on_ && h < kHelpers; ++h) {
        if (!start(helpers_, [this] { Help(); })) {
            break;  // the run goes on with fewer helpers, or none
        }
    }
    on_ = !helpers_.empty();
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
    }
    wanted_.notify_all();
}

void ReadAhead::Found(std::size_t index, const std::string& path) {
    if (!on_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    found_.emplace_back(index, path);
    if (fromDisk_ && index < claimed_ + kAhead) {
        wanted_.notify_one();
    }
}

void ReadAhead::Claimed(std::size_t index) {
    if (!on_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    claimed_ = std::max(claimed_, index + 1);
    while (!found_.empty() && found_.front().first < claimed_) {
        found_.pop_front();
    }
}

void ReadAhead::Done(bool fromDisk) {
    if (!on_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    fromDisk_ = fromDisk;
    if (fromDisk_) {
        wanted_.notify_all();
    }
}

void ReadAhead::Help() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wanted_.wait(lock, [&] {
            return finished_ ||
                   (fromDisk_ && !found_.empty() && found_.front().first < claimed_ + kAhead);
        });
        if (finished_) {
            return;
        }
        const std::string path = std::move(found_.front().second);
        found_.pop_front();
        lock.unlock();
        ReadSoon(path, kHead, kTail);
        lock.lock();
    }
}

}  // namespace veltrane
