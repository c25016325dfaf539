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
    const auto etch = [&](int id, double microns) {
        SimpleReactiveIonEtching(volume, id, RateRecipe::cellsDown(volume, microns), directions)
            .runEtching(progress);
    };
    etch(material, recipe.microns());
    bool silicon = material == 1;
    for (const auto& [other, otherRate] : recipe.otherRates)
        if (int(other) != material && otherRate > 0.0) {
            etch(int(other), otherRate * recipe.time);
            silicon = silicon || other == 1;
        }
    return silicon;
}

} // namespace Core::Operations
