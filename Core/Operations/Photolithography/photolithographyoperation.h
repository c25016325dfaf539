#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"
#include "Model/Automaton/photomask.h"

namespace Core::Operations {

// Menu action "Photolithography": develops a resist film through a top and a bottom mask.
// Masks applied while the dialog is open are shown on the volume at once; they are taken off
// it again when the operation ends or is cancelled.
class PhotolithographyOperation : public SnapshotProcessOperation {
public:
    static constexpr int number = 20;

    explicit PhotolithographyOperation(OperationContext& context);

    void end() override;
    void cancel() override;

    // Why a mask cannot be used on `volume`, as a sentence; empty when it has one pixel per
    // cell column or is no mask at all. `side` is "top" or "bottom". Placed at a corner, a mask
    // of another size would leave the rest of the volume open without a word.
    static QString maskRefusal(const Model::Automaton::TotalVolume& volume, const QString& side,
                               unsigned width, unsigned height);

    void setResistMaterialId(int value) {
        resistMaterialId = value;
        resistSet = true;
    }
    void setBottomMask(const std::vector<bool>& bits, unsigned width, unsigned height);
    void setTopMask(const std::vector<bool>& bits, unsigned width, unsigned height);

    int getResistMaterialId() const { return resistMaterialId; }
    const Model::Automaton::PhotoMask& getBottomMask() const { return bottomMask; }
    const Model::Automaton::PhotoMask& getTopMask() const { return topMask; }
    // For the dialog's file choices and warnings.
    IUserPrompts& getPrompts() const { return context.prompts; }

protected:
    bool isReady() const override { return resistSet; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    void afterRun() override;
    bool changesSilicon() const override { return resistMaterialId == 1; }

private:
    void showMasks();
    void takeMasksOff();

    int resistMaterialId = 0;
    bool resistSet = false;
    Model::Automaton::PhotoMask bottomMask;
    Model::Automaton::PhotoMask topMask;
};

} // namespace Core::Operations
