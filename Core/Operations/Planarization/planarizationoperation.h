#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

namespace Core::Operations {

// Menu action "Planarization": cuts the volume flat between a minimum and a maximum height.
class PlanarizationOperation : public SnapshotProcessOperation {
public:
    static constexpr int number = 22;

    explicit PlanarizationOperation(OperationContext& context);

    void setMaximumHeight(int value) {
        maximumHeight = value;
        maximumSet = true;
    }
    void setMinimumHeight(int value) {
        minimumHeight = value;
        minimumSet = true;
    }

protected:
    bool isReady() const override { return maximumSet && minimumSet; }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    // It may have cut silicon.
    bool changesSilicon() const override { return true; }

private:
    int maximumHeight = 0;
    int minimumHeight = 0;
    bool maximumSet = false;
    bool minimumSet = false;
};

} // namespace Core::Operations
