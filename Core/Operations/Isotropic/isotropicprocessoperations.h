#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"
#include "Core/Operations/raterecipe.h"

#include <optional>

namespace Core::Operations {

// Film thickness (or etch depth) and material: what the three isotropic processes share.
class IsotropicProcessOperation : public SnapshotProcessOperation {
public:
    using SnapshotProcessOperation::SnapshotProcessOperation;

    void setDistance(float value) {
        distance = value;
        distanceSet = true;
    }
    void setMaterialId(int value) {
        materialId = value;
        materialSet = true;
    }
    // The distance is a film thickness or etch depth in µm.
    // A rate and a time instead of the distance: the distance follows on the target's scale.
    void setRate(const RateRecipe& value) {
        rate = value;
        distanceSet = true;
    }
    float getDistance() const { return distance; }
    const std::optional<RateRecipe>& getRate() const { return rate; }
    int getMaterialId() const { return materialId; }

    // The range the dialogs offer, checked for values from a process list alike; `what` names
    // the distance ("film thickness", "etch depth").
    static QString distanceRefusal(const QString& what, float distance);

protected:
    bool isReady() const override { return distanceSet && materialSet; }
    QString refusal() const override {
        return rate ? rate->refusal() : distanceRefusal(distanceName, distance);
    }
    std::optional<LengthRequest> requestedLength() const override {
        return LengthRequest{rate ? rate->microns() : double(distance), distanceName, doneText};
    }
    // The distance to run with on `volume`.
    float distanceOn(const Model::Automaton::TotalVolume& volume) const;

    QString distanceName = QStringLiteral("film thickness");
    // What the step did with its distance, for the note on how it was rounded.
    QString doneText = QStringLiteral("deposited");

    float distance = 0.f;
    int materialId = 0;
    std::optional<RateRecipe> rate;

private:
    bool distanceSet = false;
    bool materialSet = false;
};

class IsotropicFilmDepositionOperation : public IsotropicProcessOperation {
public:
    explicit IsotropicFilmDepositionOperation(OperationContext& context);

protected:
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return materialId == 1; }
};

class IsotropicFilmEtchingOperation : public IsotropicProcessOperation {
public:
    explicit IsotropicFilmEtchingOperation(OperationContext& context);

    // Etches `material` by the recipe's rate × time and then each other material of its table
    // by its own rate × time, each from the surface it had before the step. Run after the
    // main material, a faster material under a slower mask does not see the mask retreat
    // during the step: close for the high selectivities masks are chosen for. Returns whether
    // silicon was among the etched materials.
    static bool etchByRate(Model::Automaton::TotalVolume& volume, int material,
                           const RateRecipe& recipe, Util::ProgressReporter& progress);

protected:
    IsotropicFilmEtchingOperation(OperationContext& context, const QString& name, int id,
                                  const QString& stateKey);
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override {
        return materialId == 1 || (rate && rate->otherRates.count(1) && rate->otherRates.at(1) > 0);
    }
};

// "Release Etch": the isotropic etch of a sacrificial material, after which the console lists
// the solid bodies (attached, anchored, loose) and the undercut reached below each anchor.
class ReleaseEtchOperation : public IsotropicFilmEtchingOperation {
public:
    static constexpr int number = 34;
    explicit ReleaseEtchOperation(OperationContext& context);

protected:
    void afterRun() override;
};

class ElectrodepositionOperation : public IsotropicProcessOperation {
public:
    explicit ElectrodepositionOperation(OperationContext& context);

    void setConductingMaterialId(int value) {
        conductingMaterialId = value;
        conductorSet = true;
    }

protected:
    bool isReady() const override { return IsotropicProcessOperation::isReady() && conductorSet; }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return false; }

private:
    int conductingMaterialId = 0;
    bool conductorSet = false;
};

} // namespace Core::Operations
