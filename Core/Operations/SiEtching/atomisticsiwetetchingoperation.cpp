#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"

#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"

namespace Core::Operations {

AtomisticSiWetEtchingOperation::AtomisticSiWetEtchingOperation(OperationContext& context)
    : SiWetEtchOperation(context, QStringLiteral("BCA Wet Etch"), number,
                         QStringLiteral("BCAWetEtch")) {}

void AtomisticSiWetEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume, double depth,
                                               WetEtchSides sides,
                                               Util::ProgressReporter& progress) {
    AtomicStructureSimpleSiWetEtch engine(volume, depth, sides);
    engine.setEtchSide(getEtchSide());
    engine.setRateFactors(&getRateFactors());
    if (const auto& recipe = getRecipe())
        engine.setEtchant(recipe->etchant);
    engine.runEtching(progress);
}

} // namespace Core::Operations
