#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"

#include "Core/Operations/SiOxidation/simplesioxidation.h"
#include "Model/Metrology/scale.h"

#include <cmath>

namespace Core::Operations {

SimpleSiOxidationOperation::SimpleSiOxidationOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Simple Si Oxidation"), 26,
                               QStringLiteral("SimpleSiOxidation")) {}

std::shared_ptr<Model::Automaton::TotalVolume>
SimpleSiOxidationOperation::unselectedVolume() const {
    const auto objects = context.document->getObjects();
    if (objects.size() != 1)
        return nullptr;
    return std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(objects.front());
}

// The ranges are the dialog's; values from a process list or the console that the dialog
// could not give are refused rather than run for hours or overflow.
QString SimpleSiOxidationOperation::refusalFor(const Recipe& recipe) {
    if (!isWithin(recipe.cellUnitsPerMicron, 0.01, 1.0e9))
        return QStringLiteral("The cell units per micron must be a number from 0.01 to "
                              "1000000000.");
    if (recipe.time) {
        if (!isWithin(*recipe.time, 0.0, 1000.0))
            return QStringLiteral("The oxidation time must be a number from 0 to 1000 hours.");
        if (!isWithin(recipe.temperature, 0.0, 2000.0))
            return QStringLiteral("The temperature must be a number from 0 to 2000 K.");
        if (!isWithin(recipe.pressure, 0.0, 1.0))
            return QStringLiteral("The pressure must be a number from 0 to 1 atm.");
        const double microns =
            DealGroveThickness::compute(*recipe.time, recipe.temperature, recipe.pressure).microns;
        if (!std::isfinite(microns))
            return QStringLiteral("No oxide grows at %1 K and %2 atm.")
                .arg(recipe.temperature)
                .arg(recipe.pressure);
    } else if (!recipe.thickness || !isWithin(*recipe.thickness, 0.0, 100000.0)) {
        return QStringLiteral("The oxide thickness must be a number from 0 to 100000 microns.");
    }
    if (SimpleSiOxidation::readOxidizableMaterials().empty())
        return QStringLiteral("The process \"Simple Si Oxidation\" lists no oxidizable "
                              "materials, so nothing can be oxidized.");
    return QString();
}

void SimpleSiOxidationOperation::run(Model::Automaton::TotalVolume& volume, const Recipe& recipe,
                                     Util::ProgressReporter& progress) {
    SimpleSiOxidation engine(volume, recipe.cellUnitsPerMicron);
    if (recipe.time)
        engine.oxidateFor(*recipe.time, recipe.temperature, recipe.pressure, progress);
    else
        engine.oxidateTo(*recipe.thickness * recipe.cellUnitsPerMicron, progress);
}

double
SimpleSiOxidationOperation::cellUnitsPerMicronOf(const Model::Automaton::TotalVolume& volume) {
    return 1.0 / Model::Metrology::micrometresPerSceneUnit(volume);
}

SimpleSiOxidationOperation::Recipe SimpleSiOxidationOperation::recipe() const {
    const auto volume = getTarget();
    const double own = volume ? cellUnitsPerMicronOf(*volume) : 1.0;
    return {conversion.value_or(own), time, temperature, pressure, thickness};
}

QString SimpleSiOxidationOperation::refusal() const {
    return refusalFor(recipe());
}

void SimpleSiOxidationOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                           Util::ProgressReporter& progress) {
    run(volume, recipe(), progress);
}

} // namespace Core::Operations
