#include "Core/Operations/Flux/fluxprocessoperations.h"

namespace Core::Operations {

FluxProcessOperation::FluxProcessOperation(OperationContext& context, const QString& name, int id,
                                           const QString& stateKey, FluxStepRecipe::Kind kind)
    : SnapshotProcessOperation(context, name, id, stateKey) {
    recipe.kind = kind;
}

bool FluxProcessOperation::run(Model::Automaton::TotalVolume& volume, const FluxStepRecipe& recipe,
                               Util::ProgressReporter& progress) {
    FluxSurfaceAdvance(volume, recipe).run(progress);
    if (recipe.material == 1)
        return true;
    const auto silicon = recipe.otherRates.find(1);
    return recipe.kind == FluxStepRecipe::Kind::Etching && silicon != recipe.otherRates.end() &&
           silicon->second > 0.0;
}

void FluxProcessOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                     Util::ProgressReporter& progress) {
    run(volume, recipe, progress);
}

bool FluxProcessOperation::changesSilicon() const {
    const auto silicon = recipe.otherRates.find(1);
    return recipe.material == 1 || (recipe.kind == FluxStepRecipe::Kind::Etching &&
                                    silicon != recipe.otherRates.end() && silicon->second > 0.0);
}

FluxEtchingOperation::FluxEtchingOperation(OperationContext& context)
    : FluxProcessOperation(context, QStringLiteral("Flux Etching"), number,
                           QStringLiteral("FluxEtching"), FluxStepRecipe::Kind::Etching) {}

FluxDepositionOperation::FluxDepositionOperation(OperationContext& context)
    : FluxProcessOperation(context, QStringLiteral("Flux Deposition"), number,
                           QStringLiteral("FluxDeposition"), FluxStepRecipe::Kind::Deposition) {}

} // namespace Core::Operations
