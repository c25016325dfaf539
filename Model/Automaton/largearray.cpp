#include "Model/Automaton/largearray.h"

#include <cstdint>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

namespace Model::Automaton {

namespace {

// Older kernels do not know it and answer EINVAL; the pages are then faulted as they are
// written, as without the call.
#ifndef MADV_POPULATE_WRITE
constexpr int MADV_POPULATE_WRITE = 23;
#endif

std::size_t pageSize() {
    static const std::size_t size = [] {
        const long value = sysconf(_SC_PAGESIZE);
        return value > 0 ? std::size_t(value) : std::size_t(4096);
    }();
    return size;
}

} // namespace

void* allocateLarge(std::size_t bytes) {
    const std::size_t page = pageSize();
    if (bytes == 0)
        bytes = 1;
    void* memory = bytes >= page ? std::aligned_alloc(page, (bytes + page - 1) / page * page)
                                 : std::malloc(bytes);
    if (!memory)
        throw std::bad_alloc();
    return memory;
}

void prefaultLarge(void* begin, std::size_t bytes) {
    // Big pages would need far fewer faults, but on a virtual machine whose host has taken
    // back the guest's free memory they are slower still to map; whole small pages in one
    // call are the faster choice either way.
    const std::size_t page = pageSize();
    const auto first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(begin) + bytes) / page * page;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
}

} // namespace Model::Automaton
