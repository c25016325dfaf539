#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

#include <optional>

namespace Core::Operations {

// Menu action "PVD". It carries the name and the undo key of isotropic deposition; the undo
// records stay apart because instances are numbered per key.
class AnisotropicFilmDepositionOperation : public SnapshotProcessOperation {
public:
    explicit AnisotropicFilmDepositionOperation(OperationContext& context);

    // In the order the dialog observer calls them.
    void setThickness(float value) { thickness = value; }
    void setMaterialId(int value) { materialId = value; }
    void setHorizontalRatio(float value) { horizontalRatio = value; }
    void setDepositOnMode(int value) { depositOnMode = value; }

    // The checks and the run, for this operation and for a process-list step alike.
    static QString refusalFor(int materialId, float thickness, float horizontalRatio,
                              int depositOnMode);
    static void run(Model::Automaton::TotalVolume& volume, int materialId, float thickness,
                    float horizontalRatio, int depositOnMode,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());

protected:
    bool isReady() const override {
        return thickness && materialId && horizontalRatio && depositOnMode;
    }
    QString refusal() const override;
    std::optional<LengthRequest> requestedLength() const override;
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return materialId == 1; }

private:
    std::optional<float> thickness;
    std::optional<int> materialId;
    std::optional<float> horizontalRatio;
    std::optional<int> depositOnMode;
};

} // namespace Core::Operations
