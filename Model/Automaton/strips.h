#pragma once

#include "Util/progressreporter.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Model::Automaton {

// One slab of a volume along x, [begin, end), worked on by one pool task.
struct Strip {
    unsigned begin = 0;
    unsigned end = 0;
    int index = 0;
};

// The partition every engine runs on: x cut into slabs of sizeX / threads cells, one
// task per slab on the global pool. A pass returns only when every slab is done,
// so two passes in a row are a barrier: a front phase followed by an exchange phase gives the
// same cells for any thread count.
class StripPartition {
public:
    // Uses the global pool's maximum thread count.
    explicit StripPartition(unsigned sizeX);
    StripPartition(unsigned sizeX, int threads);

    const std::vector<Strip>& getStrips() const { return strips; }
    int count() const { return int(strips.size()); }
    // True when the slabs would be thinner than two cells and the whole range runs on the
    // calling thread instead.
    bool isSerial() const { return serial; }
    // The strip that owns column x.
    int stripOf(unsigned x) const;

    // Runs `task` once per strip and waits for all of them. A pass begins only while the
    // watched run is not cancelled (see watch); otherwise it throws Util::RunCancelled.
    void runPass(const std::function<void(const Strip&)>& task) const;

    // The run whose cancel stops this partition's passes; none by default. Checked once per
    // pass, before its tasks start, so a cancelled run leaves no task behind.
    void watch(const Util::ProgressReporter& reporter) { progress = &reporter; }

    // One mutex per strip, for tasks that hand data across a border: a task holds its own
    // while it works and takes its neighbour's while it writes into that neighbour.
    std::mutex& stripMutex(int index) const { return mutexes[std::size_t(index)]; }

    static int poolThreadCount();

private:
    std::vector<Strip> strips;
    bool serial = false;
    std::unique_ptr<std::mutex[]> mutexes;
    const Util::ProgressReporter* progress = &Util::ProgressReporter::none();
};

} // namespace Model::Automaton
