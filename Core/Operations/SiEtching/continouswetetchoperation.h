#pragma once

#include "Core/Operations/SiEtching/siwetetchoperation.h"

namespace Core::Operations {

// Menu action "Si Wet Etching (CCA)": the continuous cellular-automaton etch.
class ContinousWetEtchOperation : public SiWetEtchOperation {
public:
    static constexpr int number = 29;

    explicit ContinousWetEtchOperation(OperationContext& context);

protected:
    void runEngine(Model::Automaton::TotalVolume& volume, double depth, WetEtchSides sides,
                   Util::ProgressReporter& progress) override;
};

} // namespace Core::Operations
