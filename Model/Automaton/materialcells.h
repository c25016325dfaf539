#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/voxel.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace Model::Automaton {

using MaterialId = std::uint32_t;

// The material ids of a volume's cells, for everyone but the engines: read and written by cell
// index while the volume's CellArraysLock is held, so that only the volume knows how cells are
// laid out in memory. Adding an index gives the view of the cells from there on (a row, a
// column), as with a pointer.
class MaterialCells {
public:
    MaterialCells() = default;
    // `next` is null when only the current state is held; writes then reach that state only.
    MaterialCells(Voxel* current, Voxel* next) : current(current), next(next) {}

    // Signed, so that a view of a row reaches the cells before it too.
    MaterialId operator[](std::ptrdiff_t i) const { return current[i].material; }
    void set(std::ptrdiff_t i, MaterialId material) const {
        current[i].material = material;
        if (next)
            next[i].material = material;
    }
    // A fresh cell of `material` in both arrays, for loaders that fill a volume made with
    // TotalVolume::UnwrittenCells (nothing of the cell is read before).
    void writeFresh(std::ptrdiff_t i, MaterialId material) const {
        new (current + i) Voxel(material);
        if (next)
            new (next + i) Voxel(material);
    }
    MaterialCells operator+(std::ptrdiff_t offset) const {
        return MaterialCells(current + offset, next ? next + offset : nullptr);
    }
    explicit operator bool() const { return current != nullptr; }

    // Where the id of the view's first cell lies and how many bytes apart the ids of
    // neighbouring cells are, for views that read the ids in place (a numpy array).
    const MaterialId* firstId() const { return &current->material; }
    static constexpr std::ptrdiff_t idStride = sizeof(Voxel);

private:
    Voxel* current = nullptr;
    Voxel* next = nullptr;
};

} // namespace Model::Automaton
