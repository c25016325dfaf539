#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"

namespace Core::Operations {

SimpleReactiveIonEtchingOperation::SimpleReactiveIonEtchingOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Simple RIE"), number,
                               QStringLiteral("SimpleRIE")) {}

void SimpleReactiveIonEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                  Util::ProgressReporter& progress) {
    SimpleReactiveIonEtching(volume, material, int(depth), directions).runEtching(progress);
}

} // namespace Core::Operations
