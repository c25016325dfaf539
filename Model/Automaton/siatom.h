#pragma once

#include <cstdint>

namespace Model::Automaton {

// Atoms are addressed by number: sites of the lattice first, then the boundary atoms the
// engines add.
using AtomId = std::uint32_t;
constexpr AtomId noAtom = 0xFFFFFFFFu;

// One site of the silicon crystal as SiLattice::atom() reports it. The lattice itself stores
// only what changes per site (its state, in one byte); bonds, cell and position follow from
// the site's number, so this record is a snapshot for callers that want everything at once.
struct SiAtom {
    enum AtomState : std::int8_t {
        // No atom here any more: etched away, or its cell is empty.
        Empty = 0,
        // Present and etchable.
        Silicon = 1,
        // Present and never etched: inside a mask, outside the volume, or a boundary atom an
        // engine put in place of a missing neighbour.
        Fixed = 3
    };

    // `site` of atoms an engine creates: boundarySite plus their sublattice.
    static constexpr std::uint8_t boundarySite = 8;

    // Bond slots 0..3; slots s and 3 - s point in opposite directions.
    AtomId neighbors[4] = {noAtom, noAtom, noAtom, noAtom};
    // Index of the cell of the volume that contains the atom; -1 outside the volume.
    std::int32_t cellIndex = -1;
    // Only the continuous etch uses this: 1 for the atoms it took, less while they dissolve.
    float occupancy = 0.0f;
    AtomState state = Silicon;
    // Position 0..7 within its unit cell, or boundarySite + sublattice.
    std::uint8_t site = 0;

    bool isBoundaryAtom() const { return site >= boundarySite; }
    // 0 for sublattice A (sites 0, 1, 4, 5), 1 for sublattice B (sites 2, 3, 6, 7).
    int sublattice() const {
        return isBoundaryAtom() ? site - boundarySite : int((site >> 1) & 1u);
    }
    bool isPresent() const { return state != Empty; }
};

} // namespace Model::Automaton
