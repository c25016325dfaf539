#pragma once

#include "Model/Automaton/photomask.h"
#include "Model/Layout/layoutflattener.h"

#include <QString>

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Layout {

// Where a mask's layout comes from and how it lies on the cell volume.
struct LayoutMaskSource {
    QString file;
    // Empty: the file's only top cell.
    QString cell;
    int layer = 0;
    int datatype = 0;
    // The layout's origin relative to the volume's lower-left corner, in micrometres; the
    // layout is mirrored about its x axis first, then turned counter-clockwise.
    double offsetX = 0.0;
    double offsetY = 0.0;
    int rotation = 0;
    bool mirrored = false;
    // Drawn shapes are opaque (protect the resist); inverted, they are the openings.
    bool inverted = false;

    // "chip.gds:5/0", the form the runner's --set takes.
    QString fileAndLayer() const;
    static bool parseFileAndLayer(const QString& text, LayoutMaskSource& source);
    // "offset 10;20 µm, 90°, mirrored", as lists show it.
    QString placementText() const;
};

// The columns of a volume: how many and how large (micrometres).
struct ColumnGrid {
    unsigned sizeX = 0;
    unsigned sizeY = 0;
    double cellSizeX = 1.0;
    double cellSizeY = 1.0;

    // The columns of a volume at its document's scale, with the cell sizes as the decimals
    // they were given as.
    static ColumnGrid of(const Automaton::TotalVolume& volume);
};

// Rasterises a layout mask onto a volume's columns: a column is opaque where its centre lies
// inside the union of the layer's shapes or on their edges (the inverse for an inverted
// source). The result is a PhotoMask of the grid's size, as an image mask of that size would
// be, so the development engine cannot tell the two apart.
class LayoutMask {
public:
    static bool rasterise(const LayoutMaskSource& source, const ColumnGrid& grid,
                          Model::Automaton::PhotoMask& mask, QString& problem,
                          LayoutFlattener::Limits limits = {});
    // As above, for a layout already read.
    static bool rasterise(const LayoutLibrary& library, const LayoutMaskSource& source,
                          const ColumnGrid& grid, Model::Automaton::PhotoMask& mask,
                          QString& problem, LayoutFlattener::Limits limits = {});

    // The cell `source` names, or the only top cell; -1 with the reason otherwise.
    static int topCell(const LayoutLibrary& library, const QString& name, QString& problem);
    // From the layout's database units to micrometres on the volume, whose columns `grid`
    // gives.
    static Affine placement(const LayoutLibrary& library, const LayoutMaskSource& source,
                            const ColumnGrid& grid);
};

} // namespace Model::Layout
