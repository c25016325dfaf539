#pragma once

#include "Core/Operations/SiEtching/siwetetchoperation.h"

namespace Core::Operations {

// Menu action "Si Wet Etching": the atomistic etch, one atomic layer per step.
class AtomisticSiWetEtchingOperation : public SiWetEtchOperation {
public:
    static constexpr int number = 28;

    explicit AtomisticSiWetEtchingOperation(OperationContext& context);

protected:
    bool takesRateFactors() const override { return true; }
    void runEngine(Model::Automaton::TotalVolume& volume, double depth, WetEtchSides sides,
                   Util::ProgressReporter& progress) override;
};

} // namespace Core::Operations
