#pragma once

#include <functional>
#include <vector>

namespace Model::Automaton {

// A run of x columns [begin, end) that one surface-building task works on.
struct ColumnRange {
    int begin = 0;
    int end = 0;
};

// Cuts [begin, end) into `threads` ranges of (end - begin) / threads columns; the last range
// ends at `lastEnd` instead of `end`. Empty when a range would have no columns, which tells
// the caller to build in one piece.
std::vector<ColumnRange> splitColumns(int begin, int end, int lastEnd, int threads);

// Thread count of a fresh pool: what the builders split their work into by default.
int defaultBuildThreads();

// Runs task(i) for i in [0, count) on a thread pool created for this call and waits for all.
// The builders use a pool of their own so that a rebuild issued from a global-pool thread (a
// batch run) never waits on the pool it is running in.
void runOnOwnPool(int count, int threads, const std::function<void(int)>& task);

} // namespace Model::Automaton
