#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"

namespace Core::Operations {

SimpleReactiveIonEtchingOperation::SimpleReactiveIonEtchingOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Simple RIE"), number,
                               QStringLiteral("SimpleRIE")) {}

void SimpleReactiveIonEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                  Util::ProgressReporter& progress) {
    if (rate)
        etchByRate(volume, material, directions, *rate, progress);
    else
        SimpleReactiveIonEtching(volume, material, int(depth), directions).runEtching(progress);
}

bool SimpleReactiveIonEtchingOperation::etchByRate(Model::Automaton::TotalVolume& volume,
                                                   int material, int directions,
                                                   const RateRecipe& recipe,
                                                   Util::ProgressReporter& progress) {
    return recipe.etchEach(material, [&](int id, double microns) {
        SimpleReactiveIonEtching(volume, id, RateRecipe::cellsDown(volume, microns), directions)
            .runEtching(progress);
    });
}

} // namespace Core::Operations
