#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

namespace Core::Operations {

// Menu action "Pour Material": fills every empty cell below a height with a material.
class SpinCoatingOperation : public SnapshotProcessOperation {
public:
    static constexpr int number = 23;

    explicit SpinCoatingOperation(OperationContext& context);

    void setMaterialId(int value) {
        materialId = value;
        materialSet = true;
    }
    void setDepositionHeight(int value) {
        height = value;
        heightSet = true;
    }

protected:
    bool isReady() const override { return heightSet && materialSet; }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    // It only fills empty cells, but poured silicon is silicon the lattice does not hold.
    bool changesSilicon() const override { return materialId == 1; }

private:
    int materialId = 0;
    int height = 0;
    bool materialSet = false;
    bool heightSet = false;
};

} // namespace Core::Operations
