#include "Core/Operations/SiEtching/continouswetetchoperation.h"

#include "Core/Operations/SiEtching/continuoswetetching.h"

namespace Core::Operations {

ContinousWetEtchOperation::ContinousWetEtchOperation(OperationContext& context)
    : SiWetEtchOperation(context, QStringLiteral("Continuous Wet Etch"), number,
                         QStringLiteral("ContinuousWetEtch")) {}

void ContinousWetEtchOperation::runEngine(Model::Automaton::TotalVolume& volume, double depth,
                                          WetEtchSides sides, Util::ProgressReporter& progress) {
    ContinuosWetEtching engine(volume, depth, sides);
    engine.setEtchSide(getEtchSide());
    engine.runEtching(progress);
}

} // namespace Core::Operations
