#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <string>
#include <thread>

#include "report/mod_OrderedPipeline.h"

using namespace veltrane;

namespace {

struct Seen {
    std::vector<int> order;
    int maxAhead = 0;  // the most items claimed past the one the in-order stage waits for
    int maxBusy = 0;   // the most items worked on at once
};

void Raise(std::atomic<int>& most, int value) {
    for (int m = most; value > m && !most.compare_exchange_weak(m, value);) {
    }
}

// Items 0..count-1, each worked into its own number; item 0 is slow.
PipelineOutcome RunNumbers(PipelineSetup setup, int count, Seen& seen, int stopAt = -1) {
    OrderedPipeline<int, int> pipeline(setup);
    std::atomic<int> claimed = 0;
    std::atomic<int> delivered = 0;
    std::atomic<int> maxAhead = 0;
    std::atomic<int> busy = 0;
    std::atomic<int> maxBusy = 0;
    const auto produce = [&](const OrderedPipeline<int, int>::Sink& sink) {
        for (int i = 0; i < count && sink(i); ++i) {
        }
    };
    const auto makeJob = [&]() -> OrderedPipeline<int, int>::Job {
        return [&](int& item) {
            Raise(maxAhead, ++claimed - delivered);
            Raise(maxBusy, ++busy);
            if (item == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            --busy;
            return item;
        };
    };
    const auto outcome = pipeline.Run(produce, makeJob, [&](int& result) {
        seen.order.push_back(result);
        ++delivered;
        return result != stopAt;
    });
    seen.maxAhead = maxAhead;
    seen.maxBusy = maxBusy;
    return outcome;
}

}  // namespace

// A slow first item holds no job: the others finish meanwhile, as far as the window lets them,
// and the in-order stage still sees 0, 1, 2, ...
TEST(OrderedPipeline, HandsResultsOnInOrderWithASlowFirstItemAndABoundedWindow) {
    Seen seen;
    const auto outcome = RunNumbers({4, 8}, 500, seen);
    std::vector<int> expected(500);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(seen.order, expected);
    // The window filled behind the slow item, and no further (one more may be on its way
    // through the in-order stage).
    EXPECT_GE(seen.maxAhead, 8);
    EXPECT_LE(seen.maxAhead, 9);
    EXPECT_EQ(outcome.threadsWanted, 4U);  // three jobs beside the calling thread, the producer
    EXPECT_EQ(outcome.threadsStarted, 4U);
    EXPECT_FALSE(outcome.stopped);
}

// Threads that cannot be started (a process limit): the run goes on with those it got, down
// to the calling thread alone; the in-order stage can stop the run early.
TEST(OrderedPipeline, GoesOnWithTheThreadsItGetsAndStopsWhenAsked) {
    for (const int allowed : {0, 1, 2}) {
        int started = 0;
        PipelineSetup setup{4, 16};
        setup.start = [&](std::vector<std::jthread>& threads, std::function<void()> body) {
            return started++ < allowed && StartHostThread(threads, std::move(body));
        };
        Seen seen;
        const auto outcome = RunNumbers(setup, 100, seen);
        EXPECT_EQ(seen.order.size(), 100U) << allowed;
        EXPECT_TRUE(std::is_sorted(seen.order.begin(), seen.order.end())) << allowed;
        EXPECT_EQ(outcome.threadsStarted, static_cast<unsigned>(allowed)) << allowed;
    }
    // Only the eager jobs work while nothing asks for all of them.
    Seen eager;
    RunNumbers({4, 16, 1 << 16, StartHostThread, 2}, 300, eager);
    EXPECT_EQ(eager.order.size(), 300U);
    EXPECT_LE(eager.maxBusy, 2);
    Seen stopped;
    EXPECT_TRUE(RunNumbers({2, 4, 8}, 100000, stopped, 10).stopped);
    EXPECT_EQ(stopped.order.size(), 11U);
}
