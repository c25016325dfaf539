#pragma once

#include "Core/Operations/SiEtching/planerates.h"

#include <array>
#include <vector>

namespace Model::Automaton {
class SiLattice;
}

namespace Core::Operations {

// Measures how fast the calibrated atomistic etch moves a plane of each family, on the
// lattice itself: a slab of silicon whose free face has the family's orientation in the
// wafer's (1-10) zone (x along [110], z along [001]), etched with periodic sides along y and
// oxide walls at both ends in x. The face's recession d is read from the silicon atoms left
// in a band away from the walls, where the face stays flat:
//
//     d = (ΔN / 8) × |n · b| / (W × L_y)
//
// with 8 atoms per cubic lattice constant, n the face's normal, b the axis the band runs along
// (z for a column band, x for a row band) and W its width. The first part of the etch only lets the
// cell-shaped face settle to its atomic form; d is taken over the rest.
//
// The zone holds all four families: (001) at 0°, (113) at 25.24°, (111) at 54.74° and (110)
// at 90° from [001].
class PlaneRateMeasurement {
public:
    enum class Family { P100, P110, P111, P311 };

    // The family's face recession per (100) layer time, in units of the (100) recession: the
    // ratio R_family / R_100 of the simulated etch with these neighbourhood counts.
    static double relativeRate(Family family, const NeighbourhoodSteps& steps);

    // The same for the (100) face alone, in lattice constants per step: a/4 per
    // NeighbourhoodSteps::terrace100 steps when the lattice etches as it should.
    static double hundredPerStep(const NeighbourhoodSteps& steps);

    // A square opening turned 45° to the flat on (100) has its edges along <100>: its walls are
    // upright {100} planes, which in the lab recede sideways at the (100) rate, so that each
    // wall lies as far under the mask as the pit is deep, at every height. Etches such an
    // opening `depth` cells deep with these counts, on cells of one lattice constant, and
    // returns how far the four walls lie under the mask (turnedSquareUndercut), from the layer
    // under the mask down to the first layer below the open floor. The half-diagonal `half`
    // (cells from the opening's centre to a tip) must exceed twice the undercut, or the {111}
    // planes from the tips reach the walls' middles. Empty when the lattice cannot be built.
    static std::vector<std::array<double, 4>> turnedSquareWalls(const NeighbourhoodSteps& steps,
                                                                int depth, int half);

    // The reading: on a lattice built over such an opening, centred at (centre, centre) in
    // lattice constants from the volume's corner, with the mask in layer `top` and silicon
    // below, how far each wall (the quadrants +x+y, -x+y, +x-y, -x-y) lies beyond the mask's
    // mean edge (the middle of its cell staircase) in each of `layers` layers from top - 1
    // down: the Empty atoms there in a band 8 lattice constants wide across the wall's middle,
    // per band area, at eight atoms per cubic lattice constant.
    static std::vector<std::array<double, 4>>
    turnedSquareUndercut(const Model::Automaton::SiLattice& lattice, double centre, int half,
                         int top, int layers);

    // "(100)", "(110)", "(111)", "(311)".
    static const char* name(Family family);
    // The published rate of the family in a table.
    static double published(Family family, const PlaneRates& rates);
};

} // namespace Core::Operations
