#pragma once

#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"
#include "Core/Operations/raterecipe.h"

#include <optional>

namespace Core::Operations {

// Menu action "Simple RIE": etches a material vertically from the top, from below or both.
class SimpleReactiveIonEtchingOperation : public SnapshotProcessOperation {
public:
    static constexpr int number = 30;

    explicit SimpleReactiveIonEtchingOperation(OperationContext& context);

    void setDepth(int value) {
        depth = value;
        depthSet = true;
    }
    void setMaterial(int value) {
        material = value;
        materialSet = true;
    }
    void setEtchFromBelow(bool on) { setDirection(SimpleReactiveIonEtching::fromBelow, on); }
    void setEtchFromTop(bool on) { setDirection(SimpleReactiveIonEtching::fromTop, on); }
    int getDirections() const { return directions; }
    // A rate and a time instead of the depth: whole cells of the target, rounded.
    void setRate(const RateRecipe& value) {
        rate = value;
        depthSet = true;
    }

    // Etches `material` by the recipe's rate × time and then each other material of its table
    // by its own, each from the surface it had before the step (see the isotropic etch).
    // Returns whether silicon was among the etched materials.
    static bool etchByRate(Model::Automaton::TotalVolume& volume, int material, int directions,
                           const RateRecipe& recipe, Util::ProgressReporter& progress);

protected:
    bool isReady() const override { return materialSet && depthSet; }
    QString refusal() const override { return rate ? rate->refusal() : QString(); }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override {
        return material == 1 || (rate && rate->otherRates.count(1) && rate->otherRates.at(1) > 0);
    }

private:
    void setDirection(int bit, bool on) { directions = on ? directions | bit : directions & ~bit; }

    int material = 0;
    double depth = 0.0;
    std::optional<RateRecipe> rate;
    int directions = SimpleReactiveIonEtching::fromTop;
    bool materialSet = false;
    bool depthSet = false;
};

} // namespace Core::Operations
