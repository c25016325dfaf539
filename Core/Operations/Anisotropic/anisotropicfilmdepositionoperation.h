#pragma once

#include "Core/Operations/snapshotprocessoperation.h"

namespace Core::Operations {

// Menu action "PVD". It carries the name and the undo key of isotropic deposition; the undo
// records stay apart because instances are numbered per key.
class AnisotropicFilmDepositionOperation : public SnapshotProcessOperation {
public:
    explicit AnisotropicFilmDepositionOperation(OperationContext& context);

    // In the order the dialog observer calls them.
    void setThickness(float value) {
        thickness = value;
        thicknessSet = true;
    }
    void setMaterialId(int value) {
        materialId = value;
        materialSet = true;
    }
    void setHorizontalRatio(float value) {
        horizontalRatio = value;
        ratioSet = true;
    }
    void setDepositOnMode(int value) {
        depositOnMode = value;
        modeSet = true;
    }

protected:
    bool isReady() const override { return thicknessSet && materialSet && ratioSet && modeSet; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;
    bool changesSilicon() const override { return materialId == 1; }

private:
    float thickness = 0.f;
    int materialId = 0;
    float horizontalRatio = 0.f;
    int depositOnMode = 0;
    bool thicknessSet = false;
    bool materialSet = false;
    bool ratioSet = false;
    bool modeSet = false;
};

} // namespace Core::Operations
