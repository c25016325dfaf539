#include "Core/Operations/Isotropic/isotropicprocessoperations.h"

#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"

namespace Core::Operations {

IsotropicFilmDepositionOperation::IsotropicFilmDepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Isotropic Deposition"), 13,
                                QStringLiteral("IsotropicDeposition")) {}

void IsotropicFilmDepositionOperation::runEngine(Model::Automaton::TotalVolume& volume) {
    IsotropicFilmDeposition(volume, materialId, distance).runDeposition();
}

IsotropicFilmEtchingOperation::IsotropicFilmEtchingOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Isotropic Etching"), 14,
                                QStringLiteral("IsotropicEtching")) {}

void IsotropicFilmEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume) {
    IsotropicFilmEtching(volume, materialId, distance).runEtching();
}

ElectrodepositionOperation::ElectrodepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Electroplating"), 15,
                                QStringLiteral("Electroplating")) {}

void ElectrodepositionOperation::runEngine(Model::Automaton::TotalVolume& volume) {
    Electrodeposition(volume, materialId, conductingMaterialId, distance).runDeposition();
}

} // namespace Core::Operations
