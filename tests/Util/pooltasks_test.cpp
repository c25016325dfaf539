#include "Util/pooltasks.h"

#include <QThreadPool>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
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

} // namespace CELLVANE_TEST_FILE
