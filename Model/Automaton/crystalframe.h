#pragma once

#include "Model/Automaton/crystalorientation.h"
#include "Model/Automaton/sicell.h"

#include <cstdint>

namespace Model::Automaton {

// How the unit cell the lattice repeats lies in the cell volume for one wafer orientation.
//
// A cell is a box with edges along its own axes, turned about z into the volume's axes, and
// holds eight sites: sublattice A (the face-centred cubic points) at sites 0, 1, 4, 5 and
// sublattice B (A shifted by a quarter of the cube diagonal) at 2, 3, 6, 7. Its four atomic
// layers sit at 0, 1/4, 1/2 and 3/4 of its height, so the x and y of a site do not change along
// the cell's column and its height does not change across the columns.
//
// (100): the cubic cell itself, edges of one lattice constant a, turned 45 degrees.
// (110): a box of a/sqrt(2) along [1-10], a along [001] and a*sqrt(2) along [110], not turned:
// two atoms, one of each sublattice, on each of its layers.
//
// On (110) the {111} planes (1-11) and (1-1-1) stand vertical and meet the surface along <112>,
// at +-54.74 degrees (arctan sqrt 2) to [1-10] (K. E. Bean, IEEE Trans. Electron Devices 25
// (1978) 1185; D. L. Kendall, Annu. Rev. Mater. Sci. 9 (1979) 373): the etch's bond-count rule
// keeps their atoms (three bonds to fully bonded partners), so walls along them stay vertical.
//
// Bond slots follow the cube's bond directions for both: an A atom bonds in slots 0 to 3
// along (+1,-1,-1), (-1,+1,-1), (-1,-1,+1), (+1,+1,+1) (quarter lattice constants in the
// crystal's axes), a B atom along the negatives of the opposite slots. Slots s and 3 - s
// always point in opposite directions.
struct CrystalFrame {
    // Edges of the cell along its own axes, in lattice constants.
    double edge[3];
    // Degrees about z from the cell's axes to the volume's.
    double turn;
    // Where each site sits in its cell, in fractions of the edges.
    double siteOffset[8][3];
    // The atomic layer of each site (0 to 3, at a quarter of the cell's height each).
    std::uint8_t layer[8];
    // Where every bond of every site leads: the partner's site and unit cell.
    SiCell::Partner partners[8][4];
    // Where the partner in each slot sits relative to an atom, in the volume's axes and
    // lattice constants; indexed by sublattice (0 A, 1 B) and slot.
    double bond[2][4][3];

    static const CrystalFrame& of(CrystalOrientation orientation);

    // Works out the partners and bonds of a cell from its edges, turn, sites and the rotation
    // from the crystal's cube axes into the cell's axes (rows: the cell's x, y and z in cube
    // coordinates). False when a bond ends on no site, which a wrong site table does.
    bool derive(const double cubeToCell[3][3]);
};

} // namespace Model::Automaton
