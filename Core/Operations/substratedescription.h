#pragma once

#include "Model/Automaton/crystalorientation.h"
#include "Util/vector3d.h"

#include <QString>

#include <memory>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// What a new cell volume holds: its size and, inside it, a cuboid or a ball of one material.
// Parts of the substrate outside the volume are cut off.
struct SubstrateDescription {
    int material = 0;
    int totalSizeX = 0;
    int totalSizeY = 0;
    int totalSizeZ = 0;
    int substrateSizeX = 0;
    int substrateSizeY = 0;
    int substrateSizeZ = 0;
    int substrateCornerX = 0;
    int substrateCornerY = 0;
    int substrateCornerZ = 0;
    int radius = 0;
    int centerX = 0;
    int centerY = 0;
    int centerZ = 0;
    bool spherical = false;
    // Cell edges in scene units; `micrometresPerSceneUnit` is the scale of the document the
    // volume goes into, which the volume carries.
    float cellSizeX = 1.f;
    float cellSizeY = 1.f;
    float cellSizeZ = 1.f;
    double micrometresPerSceneUnit = 1.0;
    Model::Automaton::CrystalOrientation crystalOrientation =
        Model::Automaton::CrystalOrientation::Surface100;
    Util::Vector3D position;
    std::vector<int> materials;

    // Sets the cell edges from lengths in µm.
    void setCellEdgesInMicrometres(double x, double y, double z);

    // Fills `materials` in cell order: `material` inside the substrate, 0 elsewhere. The
    // total sizes must be positive.
    void buildMaterials();

    // The cell volume described, its surface not built yet. Null, with the reason in words,
    // when the volume has no cell along an axis or would not fit in memory; nothing large is
    // allocated before that is known.
    std::shared_ptr<Model::Automaton::TotalVolume> createVolume(QString& reason);
};

} // namespace Core::Operations
