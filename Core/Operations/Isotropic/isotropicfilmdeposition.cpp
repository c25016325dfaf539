#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"

#include "Core/Operations/Isotropic/vectordistancerule.h"

namespace Core::Operations {

IsotropicFilmDeposition::IsotropicFilmDeposition(Model::Automaton::TotalVolume& volume,
                                                 int materialId, float thickness)
    : volume(volume), materialId(materialId), thickness(thickness) {}

void IsotropicFilmDeposition::runDeposition(Util::ProgressReporter& progress) {
    VectorDistanceRule rule(VectorDistanceRule::Process::Deposition, volume,
                            std::uint32_t(materialId), 0, thickness);
    FrontPropagation<VectorDistanceRule> front(volume, rule);
    front.run(VectorDistanceRule::stepCount(thickness, volume.getCellSizeX(), volume.getCellSizeY(),
                                            volume.getCellSizeZ()),
              progress);
}

} // namespace Core::Operations
