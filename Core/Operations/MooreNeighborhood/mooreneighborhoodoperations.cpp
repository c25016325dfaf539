#include "Core/Operations/MooreNeighborhood/mooreneighborhoodoperations.h"

#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodetching.h"

namespace Core::Operations {

QString MooreProcessOperation::stepsRefusal(int steps) {
    // No step at all changes nothing and is harmless; negative counts and counts beyond what
    // the dialog offers are typing errors in a list.
    if (steps >= 0 && steps <= 999999999)
        return QString();
    return QStringLiteral("The number of steps must be a whole number from 0 to 999999999.");
}

// Both processes carry the same name and state key.
MooreNeighborhoodDepositionOperation::MooreNeighborhoodDepositionOperation(
    OperationContext& context)
    : MooreProcessOperation(context, QStringLiteral("Moore film deposition"), 18,
                            QStringLiteral("MooreFilmDep")) {}

void MooreNeighborhoodDepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                     Util::ProgressReporter& progress) {
    MooreNeighborhoodDeposition(volume, materialId, steps).runDeposition(progress);
}

MooreNeighborhoodEtchingOperation::MooreNeighborhoodEtchingOperation(OperationContext& context)
    : MooreProcessOperation(context, QStringLiteral("Moore film deposition"), 19,
                            QStringLiteral("MooreFilmDep")) {}

void MooreNeighborhoodEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                  Util::ProgressReporter& progress) {
    MooreNeighborhoodEtching(volume, materialId, steps).runEtching(progress);
}

} // namespace Core::Operations
