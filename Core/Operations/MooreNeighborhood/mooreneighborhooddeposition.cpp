#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"

#include "Core/Operations/MooreNeighborhood/moorerule.h"

#include <QLoggingCategory>

namespace Core::Operations {

Q_LOGGING_CATEGORY(lcMooreDeposition, "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition", QtInfoMsg)

MooreNeighborhoodDeposition::MooreNeighborhoodDeposition(Model::Automaton::TotalVolume& volume,
                                                         int materialId, int steps)
    : volume(volume), materialId(materialId), steps(steps) {}

void MooreNeighborhoodDeposition::runDeposition(Util::ProgressReporter& progress) {
    MooreRule rule(MooreRule::Process::Deposition, std::uint32_t(materialId));
    FrontPropagation<MooreRule> front(volume, rule);
    qCDebug(lcMooreDeposition) << Q_FUNC_INFO << "Steps to run " << steps;
    qCDebug(lcMooreDeposition) << Q_FUNC_INFO << "Threads " << front.threadCount();
    qCDebug(lcMooreDeposition) << Q_FUNC_INFO << "Strips per thread " << front.stripWidth();
    qCDebug(lcMooreDeposition) << Q_FUNC_INFO << "Deposited material id " << materialId;
    front.run(steps, progress);
}

} // namespace Core::Operations
