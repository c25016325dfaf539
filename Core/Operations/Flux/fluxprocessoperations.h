#pragma once

#include "Core/Operations/Flux/fluxsurfaceadvance.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"

namespace Core::Operations {

// Menu actions "Flux Etching" and "Flux Deposition": the surface moves by the particle flux it
// receives (FluxSurfaceAdvance). A dialog fills the whole recipe at once.
class FluxProcessOperation : public SnapshotProcessOperation {
public:
    void setRecipe(const FluxStepRecipe& value) {
        recipe = value;
        recipeSet = true;
    }
    const FluxStepRecipe& getRecipe() const { return recipe; }

    // Runs `recipe` on `volume`; true when silicon changed.
    static bool run(Model::Automaton::TotalVolume& volume, const FluxStepRecipe& recipe,
                    Util::ProgressReporter& progress);

protected:
    FluxProcessOperation(OperationContext& context, const QString& name, int id,
                         const QString& stateKey, FluxStepRecipe::Kind kind);

    bool isReady() const override { return recipeSet; }
    QString refusal() const override { return recipe.refusal(); }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override;

    FluxStepRecipe recipe;
    bool recipeSet = false;
};

class FluxEtchingOperation : public FluxProcessOperation {
public:
    static constexpr int number = 31;
    explicit FluxEtchingOperation(OperationContext& context);
};

class FluxDepositionOperation : public FluxProcessOperation {
public:
    static constexpr int number = 32;
    explicit FluxDepositionOperation(OperationContext& context);
};

} // namespace Core::Operations
