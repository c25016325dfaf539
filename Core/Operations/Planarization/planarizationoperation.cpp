#include "Core/Operations/Planarization/planarizationoperation.h"

#include "Core/Operations/Planarization/planarization.h"

namespace Core::Operations {

PlanarizationOperation::PlanarizationOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Planarization"), number,
                               QStringLiteral("Planarization")) {
    cancelText = QStringLiteral(": Operation canceled!");
}

void PlanarizationOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                       Util::ProgressReporter& progress) {
    Planarization(volume, unsigned(maximumHeight), minimumHeight).runPlanarization(progress);
}

} // namespace Core::Operations
