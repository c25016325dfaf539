#include "Core/Operations/Isotropic/electrodeposition.h"

#include "Core/Operations/Isotropic/vectordistancerule.h"

namespace Core::Operations {

Electrodeposition::Electrodeposition(Model::Automaton::TotalVolume& volume, int materialId,
                                     int conductingMaterialId, float thickness)
    : volume(volume), materialId(materialId), conductingMaterialId(conductingMaterialId),
      thickness(thickness) {}

void Electrodeposition::runDeposition(Util::ProgressReporter& progress) {
    VectorDistanceRule rule(VectorDistanceRule::Process::Electroplating, volume,
                            std::uint32_t(materialId), std::uint32_t(conductingMaterialId),
                            thickness);
    FrontPropagation<VectorDistanceRule> front(volume, rule);
    front.run(VectorDistanceRule::stepCount(thickness, volume.getCellSizeX(), volume.getCellSizeY(),
                                            volume.getCellSizeZ()),
              progress);
}

} // namespace Core::Operations
