#pragma once

#include <cstdint>

namespace Model::Automaton {

// One unit cell of the diamond lattice as SiLattice::cell() reports it. Its eight atoms are
// the atoms numbered 8 * (its position in the lattice's cell list) to that + 7; the tables
// below say where they sit and how they bond.
struct SiCell {
    // Bond from atom `from` to atom `to` of the same or a neighbouring cell, in `from`'s slot.
    struct Bond {
        std::uint8_t from;
        std::uint8_t to;
        std::uint8_t slot;
    };

    // Forward neighbour directions in linking order: +y, +x, +z, +x+y, +x+z, +y+z.
    enum Direction { PlusY, PlusX, PlusZ, PlusXY, PlusXZ, PlusYZ, DirectionCount };

    // Atom offsets within the cell, in lattice constants, before the cell is turned.
    static constexpr double siteOffset[8][3] = {
        {0.0, 0.0, 0.0}, {0.5, 0.5, 0.0}, {0.25, 0.25, 0.25}, {0.75, 0.75, 0.25},
        {0.5, 0.0, 0.5}, {0.0, 0.5, 0.5}, {0.75, 0.25, 0.75}, {0.25, 0.75, 0.75}};

    static constexpr Bond internalBonds[7] = {{0, 2, 3}, {1, 2, 2}, {1, 3, 3}, {2, 4, 2},
                                              {2, 5, 3}, {4, 6, 3}, {5, 7, 3}};

    // Bonds into the forward neighbour in each direction; `count` of the two entries are used.
    struct ForwardBonds {
        int dx, dy, dz;
        int count;
        Bond bonds[2];
    };
    static constexpr ForwardBonds forwardBonds[DirectionCount] = {
        {0, 1, 0, 2, {{3, 4, 3}, {7, 4, 1}}}, // +y
        {1, 0, 0, 2, {{3, 5, 2}, {6, 5, 1}}}, // +x
        {0, 0, 1, 2, {{6, 1, 3}, {7, 1, 2}}}, // +z
        {1, 1, 0, 1, {{3, 0, 1}, {0, 0, 0}}}, // +x+y
        {1, 0, 1, 1, {{6, 0, 2}, {0, 0, 0}}}, // +x+z
        {0, 1, 1, 1, {{7, 0, 3}, {0, 0, 0}}}, // +y+z
    };

    // Where the partner in each slot would sit relative to an atom, after the 45-degree turn,
    // in lattice constants; indexed by sublattice (0 A, 1 B) and slot.
    static constexpr double b = 0.35355339059327373; // sqrt(2) / 4
    static constexpr double rotatedBond[2][4][3] = {
        {{b, 0.0, -0.25}, {-b, 0.0, -0.25}, {0.0, -b, 0.25}, {0.0, b, 0.25}},
        {{0.0, -b, -0.25}, {0.0, b, -0.25}, {b, 0.0, 0.25}, {-b, 0.0, 0.25}}};

    // Where every bond of every site leads: the partner's site and the partner's unit cell
    // relative to this one (-1, 0 or +1 on each axis); indexed by site and slot.
    struct Partner {
        std::uint8_t site;
        std::int8_t di, dj, dk;
    };
    static const Partner (&partners())[8][4];

    std::uint32_t key = 0;
    // True when at least one atom lay in a silicon cell when the lattice was built. The other
    // cells only complete the crystal around those: their atoms are Empty or Fixed and give the
    // silicon atoms next to the etchant or a mask their bond partners.
    bool holdsSilicon = false;
};

} // namespace Model::Automaton
