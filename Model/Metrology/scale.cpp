#include "Model/Metrology/scale.h"

#include "Model/Automaton/totalvolume.h"

namespace Model::Metrology {

CellEdges CellEdges::of(const Automaton::TotalVolume& volume) {
    return {double(volume.getCellSizeX()) * micronsPerSceneUnit,
            double(volume.getCellSizeY()) * micronsPerSceneUnit,
            double(volume.getCellSizeZ()) * micronsPerSceneUnit};
}

} // namespace Model::Metrology
