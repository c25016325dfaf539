#include "Util/pooltasks.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace CELLVANE_TEST_FILE {

TEST(PoolTasks, EveryTaskRunsOnceAndItsWritesAreSeenAfterTheWait) {
    QThreadPool pool;
    pool.setMaxThreadCount(3);
    for (const int count : {1, 2, 7, 64}) {
        // Plain ints, not atomics: the wait alone has to make the writes visible.
        std::vector<int> runs(std::size_t(count), 0);
        Util::runTasksAndWait(pool, count, [&](int i) { runs[std::size_t(i)] += i + 1; });
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(runs[std::size_t(i)], i + 1) << count << " tasks, task " << i;
    }
    Util::runTasksAndWait(pool, 0, [](int) { FAIL() << "no task was asked for"; });
}

TEST(PoolTasks, AFailingTaskFailsTheCallOnlyOnceAllTasksAreDone) {
    QThreadPool pool;
    pool.setMaxThreadCount(2);
    std::atomic<int> finished{0};
    EXPECT_THROW(Util::runTasksAndWait(pool, 8,
                                       [&](int i) {
                                           if (i == 3)
                                               throw std::runtime_error("task 3");
                                           ++finished;
                                       }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 7);
}

TEST(PoolTasks, ACallFromThePoolsOnlyThreadRunsItsTasksItself) {
    // The outer task holds the pool's only thread; waiting for a free one would never end.
    QThreadPool pool;
    pool.setMaxThreadCount(1);
    std::vector<int> inner(4, 0);
    Util::runTasksAndWait(pool, 1, [&](int) {
        Util::runTasksAndWait(pool, 4, [&](int i) { inner[std::size_t(i)] = 1; });
    });
    EXPECT_EQ(inner, std::vector<int>(4, 1));
}

// Two runs at once on two threads, each with its own thread count: each splits its work by
// its own count, and the process's pool is as it was before, after and throughout.
TEST(WorkPool, EachRunKeepsItsOwnThreadCount) {
    QThreadPool& global = *QThreadPool::globalInstance();
    const int before = global.maxThreadCount();
    std::atomic<int> inScope{0};
    std::atomic<bool> wrong{false};
    const auto run = [&](int threads) {
        Util::WorkPool pool(threads);
        ++inScope;
        while (inScope < 2) // both runs hold their pools at once
            std::this_thread::yield();
        for (int pass = 0; pass < 50; ++pass) {
            wrong = wrong || Util::workPool().maxThreadCount() != threads ||
                    &Util::workPool() == &global;
            std::atomic<int> ran{0};
            Util::runTasksAndWait(Util::workPool(), threads * 2, [&](int) { ++ran; });
            wrong = wrong || ran != threads * 2;
        }
    };
    std::thread one(run, 3);
    std::thread other(run, 1);
    one.join();
    other.join();
    EXPECT_FALSE(wrong);
    EXPECT_EQ(global.maxThreadCount(), before);
    EXPECT_EQ(&Util::workPool(), &global);
}

} // namespace CELLVANE_TEST_FILE
