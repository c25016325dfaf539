#pragma once

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Metrology {

// Micrometres per scene unit of the document the volume belongs to. Every length the program
// reports or exports (measurements, sections, meshes, cell grids, netlists) is turned into
// micrometres here or through CellEdges::of, so a document's scale reaches all of them.
double micrometresPerSceneUnit(const Automaton::TotalVolume& volume);

// A length the user gave in micrometres, in the scene units of the volume's cells.
double sceneUnitsOf(const Automaton::TotalVolume& volume, double micrometres);

// Scene units to micrometres at a scale, rounded to the nanometre: picked points come from the
// depth buffer, and a length like 4.99999997 µm would only mislead.
double sceneToMicrometres(double sceneUnits, double micrometresPerSceneUnit);

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
