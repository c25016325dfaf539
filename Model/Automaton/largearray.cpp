#include "Model/Automaton/largearray.h"

#include <new>

#include <sys/mman.h>

namespace Model::Automaton {

void* allocateLarge(std::size_t bytes) {
    constexpr std::size_t bigPage = std::size_t(2) << 20;
    if (bytes == 0)
        bytes = 1;
    void* memory = nullptr;
    if (bytes >= bigPage) {
        const std::size_t rounded = (bytes + bigPage - 1) / bigPage * bigPage;
        memory = std::aligned_alloc(bigPage, rounded);
#ifdef MADV_HUGEPAGE
        if (memory)
            madvise(memory, rounded, MADV_HUGEPAGE);
#endif
    } else {
        memory = std::malloc(bytes);
    }
    if (!memory)
        throw std::bad_alloc();
    return memory;
}

} // namespace Model::Automaton
