// forEachItem: what the user sees must not depend on the number of threads,
// so finish runs on the calling thread, in item order, after that item's work.
#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using qorvan::platform::forEachItem;

namespace {

TEST(Parallel, FinishRunsInOrderAfterEachItemsWorkWhateverTheJobs)
{
    const std::thread::id caller = std::this_thread::get_id();
    for (int jobs : { 0, 1, 2, 4, 64 }) {
        for (std::size_t count : { 0u, 1u, 2u, 37u }) {
            SCOPED_TRACE("jobs " + std::to_string(jobs) + ", items " + std::to_string(count));
            std::vector<std::atomic<int>> done(count);
            std::vector<std::size_t> finished;
            bool everyFinishSawItsWork = true, allOnCaller = true;
            const bool ok = forEachItem(
                count, jobs,
                [&](std::size_t i) {
                    // Later items are made to end first where threads allow.
                    if (i % 3 == 0) std::this_thread::yield();
                    done[i] = 1;
                },
                [&](std::size_t i) {
                    everyFinishSawItsWork = everyFinishSawItsWork && done[i] == 1;
                    allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
                    finished.push_back(i);
                    return true;
                });
            EXPECT_TRUE(ok);
            EXPECT_TRUE(everyFinishSawItsWork);
            EXPECT_TRUE(allOnCaller);
            std::vector<std::size_t> expected(count);
            for (std::size_t i = 0; i < count; ++i)
                expected[i] = i;
            EXPECT_EQ(finished, expected);
        }
    }
}

TEST(Parallel, AFinishThatSaysStopEndsTheRun)
{
    for (int jobs : { 1, 3 }) {
        SCOPED_TRACE("jobs " + std::to_string(jobs));
        const std::size_t count = 200, stopAt = 5;
        std::atomic<std::size_t> started { 0 };
        std::vector<std::size_t> finished;
        const bool ok = forEachItem(
            count, jobs, [&](std::size_t) { ++started; },
            [&](std::size_t i) {
                finished.push_back(i);
                return i != stopAt;
            });
        EXPECT_FALSE(ok);
        ASSERT_EQ(finished.size(), stopAt + 1);
        EXPECT_EQ(finished.back(), stopAt);
        // On one thread nothing after the item that stopped is begun; on
        // several, work already taken may end, but finish is not called again.
        if (jobs == 1) {
            EXPECT_EQ(started.load(), stopAt + 1);
        }
    }
}

} // namespace
