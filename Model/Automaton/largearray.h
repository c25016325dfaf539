#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace Model::Automaton {

// Storage for arrays of hundreds of megabytes (cell arrays, lattice sites). The memory is
// reserved but not touched, so that the threads which fill an array are the first to write its
// pages, and it is placed on big pages where the system offers them: a few thousand page
// faults instead of a million when a large volume is first written.
void* allocateLarge(std::size_t bytes);

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
