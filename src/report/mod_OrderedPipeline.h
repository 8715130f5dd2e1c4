// Numbered items through parallel work and one stage that takes the results strictly in the
// items' order. It knows nothing of what the items are.
//
// A producer (a thread of its own) adds items as it finds them; jobs claim them in order and
// work on them without holding any lock shared with the others. The calling thread is one of
// the jobs and the in-order stage too: between its own items it takes each result in order
// (0, 1, 2, ...) as soon as it is there, and does there what needs the order. At most `window`
// items are between their claim and the in-order stage, so memory stays flat however many
// items there are, and a finished job wakes only whom it must: the in-order stage when it
// waits for that very result, one idle job when the window opens by one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace veltrane {

// Starts a thread running body into threads; false when the host cannot start one.
using ThreadStarter =
    std::function<bool(std::vector<std::jthread>& threads, std::function<void()> body)>;
bool StartHostThread(std::vector<std::jthread>& threads, std::function<void()> body);

struct PipelineSetup {
    unsigned jobs = 1;       // the calling thread among them
    std::size_t window = 4;  // items claimed and not yet through the in-order stage
    std::size_t backlog = std::size_t{1} << 16;  // items found and not yet claimed
    ThreadStarter start = StartHostThread;
    // How many jobs work at once while nothing says more would help (see Widen): the rest
    // sleep, and more runnable threads than processors only take turns. 0: all of them.
    unsigned eager = 0;
};

struct PipelineOutcome {
    unsigned threadsWanted = 0;  // the producer's and the jobs'
    unsigned threadsStarted = 0;
    bool stopped = false;  // the in-order stage asked to stop
};

template <class Item, class Result>
class OrderedPipeline {
  public:
    using Job = std::function<Result(Item&)>;
    // Adds one item; false once the run is stopping, when the producer should end.
    using Sink = std::function<bool(Item)>;

    explicit OrderedPipeline(PipelineSetup setup)
        : setup_(std::move(setup)), slots_(std::max<std::size_t>(setup_.window, 1)) {}

    // produce runs on a thread of its own (on the calling thread first, when none can be
    // started); makeJob gives each job its own worker; inOrder gets every result in order on the
    // calling thread, with no lock held, and returns false to stop the run.
    PipelineOutcome Run(const std::function<void(const Sink&)>& produce,
                        const std::function<Job()>& makeJob,
                        const std::function<bool(Result&)>& inOrder) {
        PipelineOutcome outcome;
        const Sink sink = [this](Item item) { return Add(std::move(item)); };
        std::vector<std::jthread> threads;
        // The threads end, on every way out of here, before they are joined.
        struct Stop {
            explicit Stop(OrderedPipeline& halted) : pipeline(halted) {}
            Stop(const Stop&) = delete;
            Stop& operator=(const Stop&) = delete;
            ~Stop() { pipeline.Halt(); }
            OrderedPipeline& pipeline;
        };
        std::optional<Stop> stop;
        const auto started = [&] {
            if (!stop) {
                stop.emplace(*this);
            }
            ++outcome.threadsStarted;
        };
        const unsigned jobThreads = std::max(setup_.jobs, 1U) - 1;
        outcome.threadsWanted = 1 + jobThreads;
        for (unsigned j = 0; j < jobThreads; ++j) {
            if (!setup_.start(threads, [this, &makeJob] { JobLoop(makeJob()); })) {
                break;
            }
            started();
        }
        if (setup_.start(threads, [this, &produce, &sink] {
                produce(sink);
                Close();
            })) {
            started();
        } else {
            {
                const std::lock_guard lock(mutex_);
                unbounded_ = true;
            }
            produce(sink);
            Close();
        }
        outcome.stopped = !Consume(makeJob(), inOrder);
        return outcome;
    }

    // Whether all the jobs should work at once (say, while they wait for a disk) or only the
    // eager ones.
    void Widen(bool all) {
        const std::lock_guard lock(mutex_);
        const unsigned eager = all ? setup_.jobs : Eager();
        if (eager != eager_) {
            if (eager > eager_) {
                jobWake_.notify_all();
            }
            eager_ = eager;
        }
    }

    // How many items were found so far, and whether that is all of them.
    std::pair<std::size_t, bool> Found() {
        const std::lock_guard lock(mutex_);
        return {added_, closed_};
    }

  private:
    bool Claimable() const { return !queue_.empty() && claimed_ < next_ + slots_.size(); }
    unsigned Eager() const {
        return setup_.eager == 0 ? setup_.jobs : std::min(setup_.eager, setup_.jobs);
    }
    // Whether one more job thread may take an item (the calling thread counts as one job).
    bool JobWanted() const { return Claimable() && busyJobs_ + 1 < eager_; }

    bool Add(Item item) {
        std::unique_lock lock(mutex_);
        producerWaits_ = true;
        producerWake_.wait(
            lock, [&] { return stopped_ || unbounded_ || queue_.size() < setup_.backlog; });
        producerWaits_ = false;
        if (stopped_) {
            return false;
        }
        queue_.push_back(std::move(item));
        ++added_;
        if (idleJobs_ > 0 && JobWanted()) {
            jobWake_.notify_one();
        } else if (Claimable() && consumerWaits_) {
            consumerWake_.notify_one();
        }
        return true;
    }

    void Close() {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        jobWake_.notify_all();
        consumerWake_.notify_one();
    }

    void Halt() {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        jobWake_.notify_all();
        producerWake_.notify_all();
    }

    // Takes the next item; called with the lock held and Claimable() true.
    std::pair<std::size_t, Item> Claim() {
        Item item = std::move(queue_.front());
        queue_.pop_front();
        if (producerWaits_) {
            producerWake_.notify_one();
        }
        return {claimed_++, std::move(item)};
    }

    void Store(std::size_t index, Result result) {
        slots_[index % slots_.size()] = std::move(result);
        if (index == next_ && consumerWaits_) {
            consumerWake_.notify_one();
        }
    }

    void JobLoop(Job job) {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idleJobs_;
            jobWake_.wait(lock,
                          [&] { return stopped_ || JobWanted() || (closed_ && queue_.empty()); });
            --idleJobs_;
            if (stopped_ || !JobWanted()) {
                return;  // stopped, or all taken
            }
            auto [index, item] = Claim();
            ++busyJobs_;
            lock.unlock();
            Result result = job(item);
            lock.lock();
            --busyJobs_;
            Store(index, std::move(result));
        }
    }

    // The in-order stage; false when it asked to stop.
    bool Consume(const Job& job, const std::function<bool(Result&)>& inOrder) {
        std::unique_lock lock(mutex_);
        for (;;) {
            auto& slot = slots_[next_ % slots_.size()];
            if (slot) {
                Result result = std::move(*slot);
                slot.reset();
                ++next_;
                if (idleJobs_ > 0 && JobWanted()) {
                    jobWake_.notify_one();
                }
                lock.unlock();
                const bool go = inOrder(result);
                lock.lock();
                if (!go) {
                    return false;
                }
            } else if (closed_ && next_ == added_) {
                return true;
            } else if (Claimable()) {
                auto [index, item] = Claim();
                lock.unlock();
                Result result = job(item);
                lock.lock();
                Store(index, std::move(result));
            } else {
                consumerWaits_ = true;
                consumerWake_.wait(lock);
                consumerWaits_ = false;
            }
        }
    }

    PipelineSetup setup_;
    std::mutex mutex_;
    std::condition_variable jobWake_, consumerWake_, producerWake_;
    std::deque<Item> queue_;                    // found, not claimed
    std::vector<std::optional<Result>> slots_;  // claimed, by index modulo the window
    std::size_t added_ = 0, claimed_ = 0, next_ = 0;
    unsigned idleJobs_ = 0;
    unsigned busyJobs_ = 0;  // job threads at work
    unsigned eager_ = Eager();
    bool closed_ = false, stopped_ = false, unbounded_ = false;
    bool consumerWaits_ = false, producerWaits_ = false;
};

}  // namespace veltrane
