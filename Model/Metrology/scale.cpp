#include "Model/Metrology/scale.h"

#include "Model/Automaton/totalvolume.h"

#include <cmath>

namespace Model::Metrology {

double micrometresPerSceneUnit(const Automaton::TotalVolume& volume) {
    return volume.getMicrometresPerSceneUnit();
}

double sceneUnitsOf(const Automaton::TotalVolume& volume, double micrometres) {
    return micrometres / micrometresPerSceneUnit(volume);
}

double sceneToMicrometres(double sceneUnits, double scale) {
    return std::round(sceneUnits * scale * 1000.0) / 1000.0 + 0.0;
}

CellEdges CellEdges::of(const Automaton::TotalVolume& volume) {
    const double scale = micrometresPerSceneUnit(volume);
    return {double(volume.getCellSizeX()) * scale, double(volume.getCellSizeY()) * scale,
            double(volume.getCellSizeZ()) * scale};
}

} // namespace Model::Metrology
