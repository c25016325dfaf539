#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"

#include "Core/Operations/Isotropic/vectordistancerule.h"

namespace Core::Operations {

IsotropicFilmDeposition::IsotropicFilmDeposition(Model::Automaton::TotalVolume& volume,
                                                 int materialId, float thickness)
    : volume(volume), materialId(materialId), thickness(thickness) {}

void IsotropicFilmDeposition::runDeposition() {
    VectorDistanceRule rule(VectorDistanceRule::Process::Deposition, volume,
                            std::uint32_t(materialId), 0, thickness);
    FrontPropagation<VectorDistanceRule> front(volume, rule);
    front.run(VectorDistanceRule::stepCount(thickness, volume.getCellSizeX(), volume.getCellSizeY(),
                                            volume.getCellSizeZ()));
}

} // namespace Core::Operations
