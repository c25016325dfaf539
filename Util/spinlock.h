#pragma once

#include <atomic>

namespace Util {

// Non-recursive lock for the cell arrays. Engines hold it for a whole run, so a waiter backs
// off quickly from spinning to yielding and sleeping instead of burning a core.
class SpinLock {
public:
    void lock();
    bool try_lock();
    void unlock();

private:
    std::atomic<bool> locked{false};
};

} // namespace Util
