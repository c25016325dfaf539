#pragma once

#include "Core/Operations/SiEtching/planerates.h"
#include "Model/Automaton/photomask.h"

#include <QRect>

namespace Core::Operations {

// Corner compensation of a square mesa edged along <110> on a (100) wafer, for the calibrated
// wet etch: a bar along <110> added to the mask at each convex corner, sized so that the etch
// has eaten it back to the corner at the depth it was designed for.
//
// The bar continues one edge of the mesa past the corner, its outer side on that edge's line,
// width B, length L beyond the corner. A bar that stands out past the mesa's edge (centred on
// the corner, say) puts a convex corner of the mask at its root; that corner is undercut
// along its diagonal at convexCornerUndercutRatio per depth and cuts the bar through at its
// root long before its end arrives. Along the edge the root is a concave corner, which the
// {111} planes hold.
//
// The end of the bar is a pair of convex corners, and the etch carves it into a wedge of the
// fastest planes that can bound them (kinematic wave theory, F. C. Frank 1958; applied to
// underetched mask corners by J. van Suchtelen, E. van Veenendaal, Sensors and Materials 13
// (2001) 325-342). A plane of unit normal n receding at R(n) moves its line in the mask plane
// along the bar's direction u by R(n) t / (n · u); the wedge's flanks run back along the bar at
// the largest of those speeds, v_end. Of the calibrated families, with u = [110] and the wafer
// normal [001]:
//
//   {110}: (101) and (011), flanks at 45° to the bar, n · u = 1/2:       v_end = 2 R110
//   {311}: (3-11) and (-131), flanks at 26.6° (tan = 1/2), n · u = 2/√22: v_end = (√22/2) R311
//
// ({311} planes facing along the bar, (311) and (131), have n · u = 4/√22; (113) faces the bar's
// end square on, whose straight edge the {111} planes hold like any <110> edge.) {311} is the
// faster for both tables (KOH 4.37 R100, TMAH 4.58 R100; {110} gives 3.65 and 3.70). The flank
// from the bar's outer corner meets the edge's line at a point that runs back at v_end from the
// start, so it reaches the mesa's corner at depth D for
//
//   L = (v_end / R100) D,
//
// leaving beyond the corner the wedge's tip, B / (2 tan 26.6°) = B long: the bar's width is the
// tolerance of the corner's outline. The rule is derived here from the kinematic theory with the
// calibrated plane rates; it is not a published sizing rule.
//
// On the calibrated lattice the bar's end runs back faster once its wedge has formed, about
// 5.2 R100 in KOH and 6.2 R100 in TMAH, its flanks near the traces of {211} planes: planes outside
// the four calibrated families bound it. The cell or two of depth the square end takes to form
// its wedge makes up for that, in KOH from about 4 to 12 cells of depth and in TMAH to about 6
// (the README gives the measurements).

// v_end / R100: how far the end of a <110> bar runs back along the bar per depth.
double barEndRecessionRatio(const PlaneRates& rates);

// The length L beyond the corner of a bar that is eaten back to the corner at `depth` (in the
// unit of the depth).
double compensationBarLength(const PlaneRates& rates, double depth);

// A top mask `width` by `height` columns, opaque over `mesa` and over one bar at each of its
// four corners, `barLength` long and `barWidth` wide, each continuing one edge past its corner
// and turning like a pinwheel so that bars of neighbouring corners never meet: the corner at the
// largest x and y gets its bar along +x on the edge at the largest y, the corner at the smallest
// x and largest y along +y on the edge at the smallest x, and so on round the mesa. What falls
// outside the mask is cut off, so a mesa may reach beyond it. A bar width is at most the mesa's
// side; a length or width below one leaves the corners bare.
Model::Automaton::PhotoMask compensatedMesaMask(unsigned width, unsigned height, const QRect& mesa,
                                                int barLength, int barWidth);

} // namespace Core::Operations
