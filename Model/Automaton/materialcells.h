#pragma once

#include "Model/Automaton/cellindex.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace Model::Automaton {

// A cell's material, as the volume keeps it: 16 bits, which hold every id the registry gives.
using MaterialId = std::uint16_t;
// The largest id a cell can hold; a document with a larger one is refused.
constexpr std::uint32_t largestMaterialId = 0xffff;

// The material ids of a volume's cells: read and written by cell index while the volume's
// CellArraysLock is held, so that only the volume knows how cells are laid out in memory.
// Adding an index gives the view of the cells from there on (a row, a column), as with a
// pointer.
class MaterialCells {
public:
    MaterialCells() = default;
    explicit MaterialCells(MaterialId* ids) : ids(ids) {}

    // Signed, so that a view of a row reaches the cells before it too.
    MaterialId operator[](std::ptrdiff_t i) const { return ids[i]; }
    void set(std::ptrdiff_t i, MaterialId material) const { ids[i] = material; }
    // Sets cells [begin, end) of the view, the run of one material a column is mostly made of.
    void fill(std::ptrdiff_t begin, std::ptrdiff_t end, MaterialId material) const {
        std::fill(ids + begin, ids + end, material);
    }
    // For loaders that fill a volume made with TotalVolume::UnwrittenCells.
    void writeFresh(std::ptrdiff_t i, MaterialId material) const { ids[i] = material; }
    MaterialCells operator+(std::ptrdiff_t offset) const { return MaterialCells(ids + offset); }
    explicit operator bool() const { return ids != nullptr; }

    // Where the id of the view's first cell lies and how many bytes apart the ids of
    // neighbouring cells are, for views that read the ids in place (a numpy array).
    const MaterialId* firstId() const { return ids; }
    static constexpr std::ptrdiff_t idStride = sizeof(MaterialId);

private:
    MaterialId* ids = nullptr;
};

} // namespace Model::Automaton
