#pragma once

#include <QString>

#include <optional>

namespace Core::Operations {

// The etchants whose orientation dependence the atomistic etch is calibrated to.
enum class Etchant { Koh, Tmah };

// "KOH", "TMAH", as records and scripts write them.
QString etchantName(Etchant etchant);
// The etchant of a name (any case); false for any other text.
bool etchantFromName(const QString& name, Etchant& etchant);

// Macroscopic etch rates (µm/min) of the four plane families that decide the shapes of a wet
// etch: {100} floors, {110} and the high-index {311} at convex corners, {111} walls.
struct PlaneRates {
    double r100;
    double r110;
    double r111;
    double r311;
};

// One published table of plane rates, with the solution it was measured in. Both tables come
// from one paper, measured on the same hemispherical specimens, so that the two etchants
// compare like for like:
//
//   M. Shikida, K. Sato, K. Tokoro, D. Uchikawa, "Differences in anisotropic etching
//   properties of KOH and TMAH solutions", Sensors and Actuators A 80 (2000) 179-188,
//   table of etch rates (µm/min) of the principal and high-index planes:
//     KOH 34 wt% at 70 °C:  (100) 0.797  (110) 1.455  (111) 0.005  (311) 1.486
//     TMAH 25 wt% at 90 °C: (100) 0.603  (110) 1.114  (111) 0.017  (311) 1.177
//
// The same group's hemisphere method and its KOH series are in K. Sato et al.,
// "Characterization of orientation-dependent etching properties of single-crystal silicon:
// effects of KOH concentration", Sensors and Actuators A 64 (1998) 87-93.
struct PlaneRateTable {
    Etchant etchant;
    double concentration; // wt%
    double temperature;   // °C
    PlaneRates rates;     // µm/min
};

// How many steps the calibrated etch gives an atom of each neighbourhood before it goes, by
// its bonded first neighbours n1 and the bonds n2 those neighbours hold besides theirs to it
// (SiLattice::countSecondNeighbors). An atom with one bond or none goes in one step.
//
//   n1 = 2, n2 >= 6: the atoms of a {100} terrace (6: two fully bonded partners)
//   n1 = 2, n2 <  6: {100}-like atoms at steps, as on {311}
//   n1 = 3, n2 >= 9: the atoms of a {111} terrace (9)
//   n1 = 3, n2 <= 8, at most one fully bonded partner: the zig-zag chains of {110} (n2 = 7)
//   n1 = 3, n2 <= 8, two fully bonded partners: the step atoms of high-index surfaces such
//                    as {311} (n2 = 7 as well; the bulk partners tell them from {110}); but
//                    where one of the twelve sites two bonds away holds a {100} terrace atom,
//                    the atom is the foot of a step on a {100} face and takes N100 steps
//
// The foot rule keeps a step from running ahead of the terrace it crosses: were the foot to go
// at the high-index count, every step would drag a train of steps behind it, and an upright
// {100} wall (the sides of a square opening turned 45° on (100)), fed with steps where it meets
// the mask and the floor, would turn vicinal and lie far deeper under the mask than the pit.
//
// With every atom of a plane in the same neighbourhood the plane recedes one atomic layer per
// that many steps: {100} by a/4, {110} by a√2/4, {111} by a bilayer a/√3 per terrace count + 1
// (the bilayer's lower atoms hold one bond once the terrace atoms are gone). So
//
//   R110 / R100 = √2 N100 / N110,   R111 / R100 = (4/√3) N100 / (N111 + 1),
//
// which the measured faces meet to a few per cent (edges of the faces etch at other
// neighbourhoods); {311} mixes {100} steps and high-index step atoms, and its two counts are
// searched on the measured face (bench/calibration/wetetchcalibration.cpp).
struct NeighbourhoodSteps {
    int terrace100; // N100
    int step100;
    int chain110; // N110
    int step311;
    int terrace111; // N111
};

struct CalibratedEtchant {
    PlaneRateTable table;
    NeighbourhoodSteps steps;
};

// The tables and their calibrations; every etchant has one.
const CalibratedEtchant& calibrated(Etchant etchant);

// The plane rates of `etchant` at a concentration and temperature: the table scaled by the
// etchant's law (see KohRecipe::rate100), every family by the same factor.
PlaneRates planeRates(Etchant etchant, double concentration, double temperature);

// How far a convex corner of a mask edged along <110> on a (100) wafer (a mesa's corner) is
// undercut along its diagonal, a <100> direction, per depth the open floor sinks, once the
// corner has lost its square start.
//
// A plane of unit normal n receding at R(n) moves its line in the mask plane inwards along the
// horizontal diagonal d by R(n) t / (n · d). A convex corner is carved by the fast planes that
// can bound it (kinematic wave theory, F. C. Frank 1958; applied to the underetched mask corner
// by J. van Suchtelen, E. van Veenendaal, Sensors and Materials 13 (2001) 325-342), and its tip
// runs along the diagonal at the speed of the planes that bound it at the mask. Of the
// calibrated families two could:
//
//   {311}: the pair (311), (3-11) meeting in a ridge above the diagonal, traces at 71.6° to
//          the diagonal, 72.5° steep, n · d = 3/√11:     U / D = (√11 / 3) R311 / R100
//   {110}: the plane (101) leaning 45° over the corner, its trace across the diagonal,
//          n · d = 1/√2:                                 U / D = √2 R110 / R100
//
// (a {111} plane faces the diagonal at 1/√3 but recedes a hundred times slower; an upright
// {100} plane facing the diagonal gives U = D.) On the lattice the corner under the mask is
// bounded by the {311} pair: its traces lie at 68° to 73° to the diagonal and its facets 70° to
// 79° steep, not across the diagonal at 45°. A slope of about 40° does form, but only at the
// corner's foot, growing up from the floor whose {100} steps feed it; it meets the {311}
// facets above in a re-entrant edge, where the plane slower along the diagonal bounds the
// etch, so the (101) plane never reaches the mask and its faster line (KOH 2.58, TMAH 2.61)
// does not set the tip. The ratio is the {311} one: KOH 2.06, TMAH 2.16. Every family scales
// by the same factor with the solution, so the ratio is the table's.
double convexCornerUndercutRatio(const PlaneRates& rates);

} // namespace Core::Operations
