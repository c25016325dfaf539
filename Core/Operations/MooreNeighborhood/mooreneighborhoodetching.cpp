#include "Core/Operations/MooreNeighborhood/mooreneighborhoodetching.h"

#include "Core/Operations/MooreNeighborhood/moorerule.h"

namespace Core::Operations {

MooreNeighborhoodEtching::MooreNeighborhoodEtching(Model::Automaton::TotalVolume& volume,
                                                   int materialId, int steps)
    : volume(volume), materialId(materialId), steps(steps) {}

void MooreNeighborhoodEtching::runEtching(Util::ProgressReporter& progress) {
    MooreRule rule(MooreRule::Process::Etching, std::uint32_t(materialId));
    FrontPropagation<MooreRule> front(volume, rule);
    front.run(steps, progress);
}

} // namespace Core::Operations
