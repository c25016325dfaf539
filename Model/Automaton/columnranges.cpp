#include "Model/Automaton/columnranges.h"

#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>

namespace Model::Automaton {

std::vector<ColumnRange> splitColumns(int begin, int end, int lastEnd, int threads) {
    std::vector<ColumnRange> ranges;
    threads = std::max(1, threads);
    const int width = std::max(0, end - begin) / threads;
    if (width == 0)
        return ranges;
    for (int i = 0; i < threads; ++i) {
        const int rangeBegin = begin + i * width;
        ranges.push_back({rangeBegin, i == threads - 1 ? lastEnd : rangeBegin + width});
    }
    return ranges;
}

int defaultBuildThreads() {
    QThreadPool pool;
    return std::max(1, pool.maxThreadCount());
}

void runOnOwnPool(int count, int threads, const std::function<void(int)>& task) {
    if (count <= 0)
        return;
    if (count == 1) {
        task(0);
        return;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, threads));
    Util::runTasksAndWait(pool, count, task);
}

} // namespace Model::Automaton
