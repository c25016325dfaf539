#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace Model::Automaton {

// Storage for arrays of hundreds of megabytes (cell arrays, lattice sites). The memory is
// reserved but not touched, so that the threads which fill an array are the first to write its
// pages (see prefaultLarge).
void* allocateLarge(std::size_t bytes);

// Maps the whole pages inside [begin, begin + bytes) for writing in one call, where the system
// can, instead of one page fault per page as they are first written. A thread that is about to
// fill its part of an array calls it for that part. Page faults are expensive on virtual
// machines, and a volume of a hundred million cells has over a million pages.
void prefaultLarge(void* begin, std::size_t bytes);

struct LargeArrayDeleter {
    void operator()(void* memory) const { std::free(memory); }
};

// Elements are not constructed: the owner writes every element before reading it. Only for
// trivially destructible types.
template <class T> using LargeArray = std::unique_ptr<T[], LargeArrayDeleter>;

template <class T> LargeArray<T> allocateLargeArray(std::size_t count) {
    return LargeArray<T>(static_cast<T*>(allocateLarge(count * sizeof(T))));
}

} // namespace Model::Automaton
