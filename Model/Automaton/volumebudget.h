#pragma once

#include "Model/Automaton/cellindex.h"

#include <QString>

#include <cstdint>

namespace Model::Automaton {

// Decides, before anything is allocated, whether a cell volume of the given size can be held
// in memory. Creating, loading and gluing volumes ask it first so that an oversized request
// becomes a message instead of a dead program.
class VolumeBudget {
public:
    // Bytes a volume needs per cell: what its store holds (one material id) plus what a step
    // keeps beside the store while it runs (stepBytesPerCell).
    static std::uint64_t bytesPerCell();
    // What a step keeps beside the cells, per cell of the volume: the front kernel's arrays over
    // every cell take three quarters of a byte (the marks of where the front starts, its table
    // of state pages, its queue), and the states near the front grow with the surface rather
    // than the volume. One byte a cell holds the first with room for the second on most
    // structures; the kernel asks reserveForRun for its arrays before it allocates them, and a
    // step that still runs out of memory puts its cells back.
    static constexpr std::uint64_t stepBytesPerCell = 1;

    // Cell count, or false when the product does not fit the index type.
    static bool cellCount(unsigned sizeX, unsigned sizeY, unsigned sizeZ, CellIndex& count);

    // True when the volume fits; otherwise `reason` says why in words for the user.
    static bool fits(unsigned sizeX, unsigned sizeY, unsigned sizeZ, QString* reason = nullptr);

    // For an array a run needs besides the cells (a front's stamps, a copy of the materials):
    // throws std::bad_alloc, before anything is allocated, when `bytes` would not fit. The run
    // then fails the way a failed allocation would, and its caller restores the cells.
    static void reserveForRun(std::uint64_t bytes);

    // Memory the process may still use; overridable so tests can pose as a small machine.
    static std::uint64_t availableBytes();
    static void setAvailableBytesForTesting(std::uint64_t bytes);
};

} // namespace Model::Automaton
