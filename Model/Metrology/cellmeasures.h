#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Metrology/measurement.h"
#include "Model/Metrology/scale.h"

#include <optional>

namespace Model::Metrology {

// The measurements of a cell volume, each defined on whole cells so that it can be checked by
// hand. The caller holds the volume's current cells for the life of this object.
//
// Coordinates are µm in volume coordinates (origin at the low corner of cell (0, 0, 0)). A
// probe coordinate v on an axis with edge d falls in cell floor(v / d); it must lie in
// [0, size · d), else there is no answer. Heights of faces: the top face of cell k is at
// (k + 1) · dz, its bottom face at k · dz. Lengths are cell counts times cell edges, so a film
// of t cells measures exactly t · dz. A run that reaches the volume's top face, as one that
// reaches a side, has no answer: what lay above was cut off by the volume.
//
// A column is the vertical line of cells at (i, j). A run is a maximal sequence of
// neighbouring cells on one line whose materials are all inside (or all outside) a selection.
class CellMeasures {
public:
    CellMeasures(const Automaton::CellGrid& grid, CellEdges edges);

    // Every layer of the column at (x, y) from its highest non-empty cell down to cell 0: each
    // run of one material id (empty runs below the top are voids). Quantities: "top" (the
    // column's top face), then one per layer, keyed "<n>.<material>", its thickness. The stack
    // answers when its top layer reaches the volume's top face, and marks that layer.
    Measurement stack(double x, double y) const;

    // The thickness of the run of `set` in the column at (x, y): the highest run, or with `z`
    // the run that holds height z. Thickness = cells in the run × dz.
    Measurement thickness(const MaterialSelection& set, double x, double y,
                          std::optional<double> z) const;

    // The height of the top face of the highest cell of `set` in the column at (x, y).
    Measurement topHeight(const MaterialSelection& set, double x, double y) const;
    // The total particle flux on the topmost surface cell of the column at (x, y): a source of
    // cosine power `exponent`, every material sticking with `sticking`, closed sides (the
    // engine's default rays, seed 0).
    Measurement surfaceFlux(double exponent, double sticking, double x, double y) const;

    // top(x2, y2) − top(x1, y1): positive when the second point is higher.
    Measurement stepHeight(const MaterialSelection& set, double x1, double y1, double x2,
                           double y2) const;

    // Along `axis` (0 x, 1 y) at height z: the run of `set` on the line through the point, its
    // length = cells × edge. With `along` the run holding that coordinate; without it the line
    // must hold exactly one run of `set`. A run that reaches a side of the volume has no width
    // the volume can tell.
    Measurement width(const MaterialSelection& set, int axis, std::optional<double> along,
                      double across, double z) const;

    // Over the columns of the window [x1, x2] × [y1, y2] (every column a corner of the window
    // falls in, inclusive): each column's surface is the top face of its highest cell of `set`.
    // The reference is `reference`, or the highest surface in the window. Quantities: the
    // depth (reference − lowest surface), "mean" (the mean of reference − surface over the
    // columns whose surface lies below the reference) and "columns" (how many those are).
    Measurement cavityDepth(const MaterialSelection& set, double x1, double y1, double x2,
                            double y2, std::optional<double> reference) const;

    // The sidewall of `set` on the vertical plane along `axis` through the point, between
    // heights z1 and z2: at each cell layer k from floor(z1/dz) to floor(z2/dz) the edge is the
    // position of one cell side between a cell of `set` and one outside it, taken at the
    // layer's centre height (k + ½) · dz:
    //  - with `along`, the end (towards +axis for direction +1, −axis for −1) of the run that
    //    holds the point; the point must lie in the same kind of run (inside or outside `set`)
    //    at every layer;
    //  - without it, the one side on the line where `set` meets the rest; a line with several
    //    has no answer.
    // A least-squares line e = a + b·h through the edges gives the angle between the wall and
    // the horizontal, measured through `set`: 90° for a vertical wall, less when the wall leans
    // over the open side (a tapered trench, an inverted pyramid), more when it overhangs.
    // Quantities: the angle, "residual" (root mean square distance of the edges from the line,
    // along the axis, in µm) and "layers".
    Measurement sidewallAngle(const MaterialSelection& set, int axis, std::optional<double> along,
                              int direction, double across, double z1, double z2) const;

    // The scallops of the wall `sidewallAngle` finds from the point (along, across) towards
    // `direction`: the wall's position at each layer from z1 to z2, less the least-squares line
    // through them, goes in and out. Its headline is the peak-to-valley depth of that
    // in-and-out (µm); "period" the mean distance (µm) between the layers where it swings from
    // below a quarter of that depth under the line to a quarter above it, when it does so twice
    // or more; "angle" the wall's mean angle. With three swings or more (two whole teeth), the
    // line runs through each whole tooth's mean position at its mean height, and the depth and
    // the angle are taken about it over those teeth: a least-squares line through the layers
    // leans towards the teeth's own slope, and a part of a tooth at an end of the window tilts
    // it by up to depth / window. With fewer, the angle is the one `sidewallAngle` gives.
    Measurement scallop(const MaterialSelection& set, int axis, double along, int direction,
                        double across, double z1, double z2) const;

    // How far `under` recedes below the edge of `mask` above it. In the column at (x, y) the
    // interface is the lowest cell of `mask` lying directly on a cell of `under`; from there
    // the run of `mask` in that layer and the run of `under` in the layer below are followed in
    // `direction` along `axis`. Undercut = where the mask run ends − where the under run ends,
    // in the walking direction: positive when the material below recedes, negative when it
    // sticks out beyond the mask.
    Measurement undercut(const MaterialSelection& mask, const MaterialSelection& under, int axis,
                         int direction, double x, double y) const;

private:
    struct CellPosition {
        int index = 0;
        QString problem;
    };
    CellPosition cellOf(int axis, double value) const;
    // The last cell of a window [.., value]: as cellOf, and the volume's far face is its last
    // cell's.
    CellPosition cellOfWindowEnd(int axis, double value) const;
    // Why a result whose run reaches the volume's top face has no answer.
    QString reachesTop(const QString& what) const;
    int size(int axis) const;
    double centre(int axis, int index) const;
    // The highest cell of `set` in a column, or −1.
    int highestOf(const MaterialSelection& set, int i, int j) const;
    QString materialName(std::uint32_t id) const;

    const Automaton::CellGrid& grid;
    CellEdges edges;
};

} // namespace Model::Metrology
