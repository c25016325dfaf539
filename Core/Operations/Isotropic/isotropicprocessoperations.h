#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

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
    float getDistance() const { return distance; }
    int getMaterialId() const { return materialId; }

    // The range the dialogs offer, checked for values from a process list alike; `what` names
    // the distance ("film thickness", "etch depth").
    static QString distanceRefusal(const QString& what, float distance);

protected:
    bool isReady() const override { return distanceSet && materialSet; }
    QString refusal() const override { return distanceRefusal(distanceName, distance); }

    QString distanceName = QStringLiteral("film thickness");

    float distance = 0.f;
    int materialId = 0;

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

protected:
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return materialId == 1; }
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
