#include "Core/Operations/Isotropic/isotropicprocessoperations.h"

#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"

namespace Core::Operations {

IsotropicFilmDepositionOperation::IsotropicFilmDepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Isotropic Deposition"), 13,
                                QStringLiteral("IsotropicDeposition")) {}

void IsotropicFilmDepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                 Util::ProgressReporter& progress) {
    IsotropicFilmDeposition(volume, materialId, distance).runDeposition(progress);
}

IsotropicFilmEtchingOperation::IsotropicFilmEtchingOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Isotropic Etching"), 14,
                                QStringLiteral("IsotropicEtching")) {}

void IsotropicFilmEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                              Util::ProgressReporter& progress) {
    IsotropicFilmEtching(volume, materialId, distance).runEtching(progress);
}

ElectrodepositionOperation::ElectrodepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Electroplating"), 15,
                                QStringLiteral("Electroplating")) {}

void ElectrodepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                           Util::ProgressReporter& progress) {
    Electrodeposition(volume, materialId, conductingMaterialId, distance).runDeposition(progress);
}

} // namespace Core::Operations
