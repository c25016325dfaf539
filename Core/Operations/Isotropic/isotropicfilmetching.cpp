#include "Core/Operations/Isotropic/isotropicfilmetching.h"

#include "Core/Operations/Isotropic/vectordistancerule.h"

namespace Core::Operations {

IsotropicFilmEtching::IsotropicFilmEtching(Model::Automaton::TotalVolume& volume, int materialId,
                                           float depth)
    : volume(volume), materialId(materialId), depth(depth) {}

void IsotropicFilmEtching::runEtching(Util::ProgressReporter& progress) {
    VectorDistanceRule rule(VectorDistanceRule::Process::Etching, volume, std::uint32_t(materialId),
                            0, depth);
    FrontPropagation<VectorDistanceRule> front(volume, rule);
    front.run(VectorDistanceRule::stepCount(depth, volume.getCellSizeX(), volume.getCellSizeY(),
                                            volume.getCellSizeZ()),
              progress);
}

} // namespace Core::Operations
