#include "Model/Automaton/strips.h"

#include <QThreadPool>
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::Strip;
using Model::Automaton::StripPartition;

TEST(StripPartition, SlabsOfEqualWidthWithTheRemainderInTheLast) {
    const StripPartition partition(10, 3);
    ASSERT_EQ(partition.count(), 3);
    EXPECT_FALSE(partition.isSerial());
    const auto& s = partition.getStrips();
    EXPECT_EQ(s[0].begin, 0u);
    EXPECT_EQ(s[0].end, 3u);
    EXPECT_EQ(s[1].begin, 3u);
    EXPECT_EQ(s[2].begin, 6u);
    EXPECT_EQ(s[2].end, 10u);
    EXPECT_EQ(s[2].index, 2);
    EXPECT_EQ(partition.stripOf(5), 1);
    EXPECT_EQ(partition.stripOf(9), 2);
}

TEST(StripPartition, ThinSlabsFallBackToOneSerialRange) {
    for (const auto& [sizeX, threads] :
         std::vector<std::pair<unsigned, int>>{{3, 2}, {1, 1}, {0, 4}, {15, 8}}) {
        const StripPartition partition(sizeX, threads);
        EXPECT_TRUE(partition.isSerial()) << sizeX << " cells, " << threads << " threads";
        ASSERT_EQ(partition.count(), 1);
        EXPECT_EQ(partition.getStrips()[0].begin, 0u);
        EXPECT_EQ(partition.getStrips()[0].end, sizeX);
    }
    EXPECT_FALSE(StripPartition(4, 2).isSerial());
    EXPECT_EQ(StripPartition(16, 8).count(), 8);
    EXPECT_EQ(StripPartition(7, 0).count(), 1);
}

TEST(StripPartition, PassVisitsEveryColumnOnceAndReturnsOnlyWhenAllAreDone) {
    const StripPartition partition(100, 4);
    std::vector<std::atomic<int>> visits(100);
    std::set<std::thread::id> threads;
    std::mutex threadsLock;
    partition.runPass([&](const Strip& strip) {
        {
            std::lock_guard<std::mutex> guard(threadsLock);
            threads.insert(std::this_thread::get_id());
        }
        for (unsigned x = strip.begin; x < strip.end; ++x)
            visits[x]++;
    });
    for (unsigned x = 0; x < 100; ++x)
        EXPECT_EQ(visits[x].load(), 1) << "column " << x;
}

// A two-phase update in which each strip reads its neighbours' columns: the second pass must
// only start after every strip has finished the first, or the result depends on timing.
TEST(StripPartition, TwoPassesGiveTheSameResultForAnyThreadCount) {
    const unsigned sizeX = 97;
    auto simulate = [&](int threads) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        const StripPartition partition(sizeX);
        std::vector<int> current(sizeX), next(sizeX);
        for (unsigned x = 0; x < sizeX; ++x)
            current[x] = int((x * 37) % 11);
        for (int step = 0; step < 20; ++step) {
            partition.runPass([&](const Strip& strip) {
                for (unsigned x = strip.begin; x < strip.end; ++x) {
                    const int left = x > 0 ? current[x - 1] : 0;
                    const int right = x + 1 < sizeX ? current[x + 1] : 0;
                    next[x] = (left + current[x] * 2 + right) % 13;
                }
            });
            partition.runPass([&](const Strip& strip) {
                for (unsigned x = strip.begin; x < strip.end; ++x)
                    current[x] = next[x];
            });
        }
        return current;
    };
    const int original = QThreadPool::globalInstance()->maxThreadCount();
    const std::vector<int> serial = simulate(1);
    for (int threads : {2, 3, 8})
        EXPECT_EQ(simulate(threads), serial) << threads << " threads";
    QThreadPool::globalInstance()->setMaxThreadCount(original);
}

TEST(StripPartition, UsesThePoolThreadCount) {
    const int original = QThreadPool::globalInstance()->maxThreadCount();
    QThreadPool::globalInstance()->setMaxThreadCount(3);
    EXPECT_EQ(StripPartition(30).count(), 3);
    QThreadPool::globalInstance()->setMaxThreadCount(original);
}

} // namespace CELLVANE_TEST_FILE
