#pragma once

#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"

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

protected:
    bool isReady() const override { return materialSet && depthSet; }
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return material == 1; }

private:
    void setDirection(int bit, bool on) { directions = on ? directions | bit : directions & ~bit; }

    int material = 0;
    double depth = 0.0;
    int directions = SimpleReactiveIonEtching::fromTop;
    bool materialSet = false;
    bool depthSet = false;
};

} // namespace Core::Operations
