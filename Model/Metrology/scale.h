#pragma once

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Metrology {

// Micrometres per scene unit. Documents carry no length scale yet, and the program has always
// drawn and simulated with 1 scene unit = 1 µm; a document scale would be read here, and every
// measured length passes through this one place.
constexpr double micronsPerSceneUnit = 1.0;

// The edges of one cell of a volume, in µm.
struct CellEdges {
    double x = 1.0;
    double y = 1.0;
    double z = 1.0;

    double along(int axis) const { return axis == 0 ? x : axis == 1 ? y : z; }
    // The area of a cell side whose normal points along `axis`, in µm².
    double sideArea(int axis) const { return axis == 0 ? y * z : axis == 1 ? x * z : x * y; }
    double cellVolume() const { return x * y * z; }

    static CellEdges of(const Automaton::TotalVolume& volume);
};

} // namespace Model::Metrology
