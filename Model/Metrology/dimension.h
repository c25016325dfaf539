#pragma once

#include "Util/vector3d.h"

#include <QString>

namespace Model::Metrology {

// One measured result as a picture draws it: an arrow from `from` to `to` with its text.
//
// Points are in micrometres in volume coordinates: the origin is the low corner of cell
// (0, 0, 0), the axes run along the cell axes, so cell (i, j, k) spans
// [i·dx, (i+1)·dx) × [j·dy, (j+1)·dy) × [k·dz, (k+1)·dz). The volume's position in the scene
// plays no part. A picture of the plane y = c draws every dimension whose two ends have y in the
// slab of cells that plane cuts, and projects it onto x and z.
//
// A length's arrow spans exactly the measured length (|to − from| = value). For an angle the
// arrow is the fitted sidewall line between the two heights it was fitted on, and value is the
// angle in degrees.
struct Dimension {
    Util::Vector3D from;
    Util::Vector3D to;
    // What the picture writes beside the arrow, for example "width:empty@x,30,95 = 12 µm".
    QString label;
    double value = 0.0;
    // "µm", "°" or "µm²", "µm³" for the totals (which have no arrow worth drawing: from == to).
    QString unit;
};

} // namespace Model::Metrology
