#pragma once

#include "Model/Automaton/cellindex.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Model::Automaton {

class TotalVolume;

// Runs of cells and the materials they take: what one step changed in a volume, in the
// direction of an undo (the materials before) or of a redo (the materials after). The runs
// are compressed, one frame per slab of the volume, so that a step that changed a film of a
// billion-cell volume costs megabytes, and the frames are read and written side by side.
//
// A frame's contents are runs in ascending cell order, each a little-endian header (the first
// cell as 64 bits, the count as 32) and then the count materials as 32 bits each.
struct MaterialChanges {
    // The cells of the volume the changes were taken from.
    CellIndex cellCount = 0;
    std::vector<std::string> frames;

    // Longest run written; longer stretches of changed cells become several runs, so that
    // neither side ever holds more than this many materials of one run.
    static constexpr std::uint32_t longestRun = 1 << 16;

    // Material ids as they were when the changes were taken -> ids of the registry now; ids
    // it does not name stay as they are.
    using IdTranslation = std::map<std::uint32_t, std::uint32_t>;

    // Whether every frame is whole and holds only ascending runs inside the volume, no two
    // frames covering the same cells, and every material (translated through `ids` when given)
    // is one a cell can hold. Nothing of a volume may change before this holds.
    bool isValid(const IdTranslation* ids = nullptr) const;
    // Writes the materials of every run, translated through `ids` when given, into both cell
    // arrays of `volume`, the frames side by side on the pool. Only for changes that are valid
    // (with the same translation) and of a volume with cellCount cells.
    void applyTo(TotalVolume& volume, const IdTranslation* ids = nullptr) const;
};

} // namespace Model::Automaton
