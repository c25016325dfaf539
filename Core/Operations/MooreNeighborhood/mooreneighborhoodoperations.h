#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

namespace Core::Operations {

// A material and a number of whole-cell steps.
class MooreProcessOperation : public SnapshotProcessOperation {
public:
    using SnapshotProcessOperation::SnapshotProcessOperation;

    void setMaterialId(int value) {
        materialId = value;
        materialSet = true;
    }
    void setSteps(int value) {
        steps = value;
        stepsSet = true;
    }

    // The range the dialog offers, checked for values from a process list alike.
    static QString stepsRefusal(int steps);

protected:
    bool isReady() const override { return materialSet && stepsSet; }
    QString refusal() const override { return stepsRefusal(steps); }
    bool changesSilicon() const override { return materialId == 1; }

    int materialId = 0;
    int steps = 0;

private:
    bool materialSet = false;
    bool stepsSet = false;
};

class MooreNeighborhoodDepositionOperation : public MooreProcessOperation {
public:
    explicit MooreNeighborhoodDepositionOperation(OperationContext& context);

protected:
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
};

class MooreNeighborhoodEtchingOperation : public MooreProcessOperation {
public:
    explicit MooreNeighborhoodEtchingOperation(OperationContext& context);

protected:
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
};

} // namespace Core::Operations
