#include "Core/Operations/SiEtching/continouswetetchoperation.h"

#include "Core/Operations/SiEtching/continuoswetetching.h"

namespace Core::Operations {

ContinousWetEtchOperation::ContinousWetEtchOperation(OperationContext& context)
    : SiWetEtchOperation(context, QStringLiteral("Continuous Wet Etch"), number,
                         QStringLiteral("ContinuousWetEtch")) {}

void ContinousWetEtchOperation::runEngine(Model::Automaton::TotalVolume& volume, double depth) {
    ContinuosWetEtching engine(volume, depth);
    engine.runEtching();
}

} // namespace Core::Operations
