#include "Core/Operations/Planarization/spincoatingoperation.h"

#include "Core/Operations/Planarization/spincoating.h"

namespace Core::Operations {

SpinCoatingOperation::SpinCoatingOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Spin Coating"), number,
                               QStringLiteral("SpinCoating")) {}

void SpinCoatingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                     Util::ProgressReporter& progress) {
    SpinCoating(volume, materialId, unsigned(height)).runSpinCoating(progress);
}

} // namespace Core::Operations
