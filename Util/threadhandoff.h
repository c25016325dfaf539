#pragma once

// Work handed to a pool thread travels through Qt's queue, guarded by Qt's own locks. They live
// in a library built without ThreadSanitizer and park on futexes, so in a ThreadSanitizer build
// nothing tells the sanitizer that a task starts after its giver wrote it, and it reports every
// read of the task as a race. handOver() on the giving thread before the work crosses, and
// takeOver() on the receiving thread before it touches the work, with the same token, say so.
// The token is any address both sides know without reading shared memory, such as the address
// of the handed object itself. Outside a ThreadSanitizer build both are empty and vanish.

#if defined(__SANITIZE_THREAD__)
#define CELLVANE_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CELLVANE_THREAD_SANITIZER 1
#endif
#endif

#ifdef CELLVANE_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace Util {

// Everything this thread did so far happens before what follows a takeOver(token).
inline void handOver([[maybe_unused]] const void* token) {
#ifdef CELLVANE_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void takeOver([[maybe_unused]] const void* token) {
#ifdef CELLVANE_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace Util
