#include "Model/Automaton/strips.h"

#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>

namespace Model::Automaton {

int StripPartition::poolThreadCount() {
    return std::max(1, Util::workPool().maxThreadCount());
}

StripPartition::StripPartition(unsigned sizeX) : StripPartition(sizeX, poolThreadCount()) {}

StripPartition::StripPartition(unsigned sizeX, int threads) {
    threads = std::max(1, threads);
    const unsigned width = sizeX / unsigned(threads);
    if (width < 2) {
        serial = true;
        strips.push_back(Strip{0, sizeX, 0});
    } else {
        for (int i = 0; i < threads; ++i) {
            const unsigned begin = unsigned(i) * width;
            const unsigned end = i == threads - 1 ? sizeX : begin + width;
            strips.push_back(Strip{begin, end, i});
        }
    }
    mutexes = std::make_unique<std::mutex[]>(strips.size());
}

int StripPartition::stripOf(unsigned x) const {
    for (const Strip& strip : strips) {
        if (x < strip.end)
            return strip.index;
    }
    return strips.back().index;
}

void StripPartition::runPass(const std::function<void(const Strip&)>& task) const {
    progress->stopIfCancelled();
    // A single slab gains nothing from a pool hop, and running it here cannot wait on a pool
    // that is busy with the caller itself (a batch run drives engines from a pool thread).
    if (strips.size() == 1) {
        task(strips.front());
        return;
    }
    Util::runTasksAndWait(Util::workPool(), count(), [&](int i) { task(strips[std::size_t(i)]); });
}

} // namespace Model::Automaton
