#pragma once

#include "Core/Operations/SiEtching/planerates.h"

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

    // "(100)", "(110)", "(111)", "(311)".
    static const char* name(Family family);
    // The published rate of the family in a table.
    static double published(Family family, const PlaneRates& rates);
};

} // namespace Core::Operations
