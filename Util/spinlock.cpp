#include "Util/spinlock.h"

#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CELLVANE_CPU_PAUSE() _mm_pause()
#else
#define CELLVANE_CPU_PAUSE() std::this_thread::yield()
#endif

namespace Util {

namespace {
constexpr int immediateRetries = 4;
constexpr int pausedRetries = 64;
} // namespace

bool SpinLock::try_lock() {
    return !locked.load(std::memory_order_relaxed) &&
           !locked.exchange(true, std::memory_order_acquire);
}

void SpinLock::lock() {
    static const bool singleProcessor = std::thread::hardware_concurrency() <= 1;
    int attempt = singleProcessor ? immediateRetries + pausedRetries : 0;
    while (!try_lock()) {
        if (attempt < immediateRetries) {
            // retry at once
        } else if (attempt < immediateRetries + pausedRetries) {
            CELLVANE_CPU_PAUSE();
        } else if ((attempt & 1) == 0) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ++attempt;
    }
}

void SpinLock::unlock() { locked.store(false, std::memory_order_release); }

} // namespace Util
