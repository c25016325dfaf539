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
    // Bytes a volume needs per cell: its material id plus the list of materials it is built from.
    static std::uint64_t bytesPerCell();

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
