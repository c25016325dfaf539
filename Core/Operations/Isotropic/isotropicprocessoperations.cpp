#include "Core/Operations/Isotropic/isotropicprocessoperations.h"

#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Measure/measureoperations.h"

#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"

namespace Core::Operations {

QString IsotropicProcessOperation::distanceRefusal(const QString& what, float distance) {
    if (isWithin(distance, 0.0, 1.0e9))
        return QString();
    return QStringLiteral("The %1 must be a number from 0 to 1000000000 units.").arg(what);
}

float IsotropicProcessOperation::distanceOn(const Model::Automaton::TotalVolume& volume) const {
    // Distances are given in µm; the engines count in scene units.
    return float(RateRecipe::sceneUnits(volume, rate ? rate->microns() : double(distance)));
}

IsotropicFilmDepositionOperation::IsotropicFilmDepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Isotropic Deposition"), 13,
                                QStringLiteral("IsotropicDeposition")) {}

void IsotropicFilmDepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                                 Util::ProgressReporter& progress) {
    IsotropicFilmDeposition(volume, materialId, distanceOn(volume)).runDeposition(progress);
}

IsotropicFilmEtchingOperation::IsotropicFilmEtchingOperation(OperationContext& context)
    : IsotropicFilmEtchingOperation(context, QStringLiteral("Isotropic Etching"), 14,
                                    QStringLiteral("IsotropicEtching")) {}

IsotropicFilmEtchingOperation::IsotropicFilmEtchingOperation(OperationContext& context,
                                                             const QString& name, int id,
                                                             const QString& stateKey)
    : IsotropicProcessOperation(context, name, id, stateKey) {
    distanceName = QStringLiteral("etch depth");
    doneText = QStringLiteral("etched");
}

ReleaseEtchOperation::ReleaseEtchOperation(OperationContext& context)
    : IsotropicFilmEtchingOperation(context, QStringLiteral("Release Etch"), number,
                                    QStringLiteral("ReleaseEtch")) {}

void ReleaseEtchOperation::afterRun() {
    if (!target)
        return;
    const Model::Metrology::Measurement release =
        ProcessRecordExecutor::releaseReport(*target, std::uint32_t(materialId));
    for (const QString& line : FreeStructuresOperation::describe(*target))
        message(QStringLiteral(": ") + line);
    int n = 0;
    for (const Model::Metrology::FreeBody& body : release.bodies) {
        ++n;
        if (!body.undercutMeasurement.isEmpty())
            message(QStringLiteral(": undercut below the anchor of body %1: %2 (%3)")
                        .arg(n)
                        .arg(Model::Metrology::formatValue(body.undercut, QStringLiteral("µm")),
                             body.undercutMeasurement));
    }
}

void IsotropicFilmEtchingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                              Util::ProgressReporter& progress) {
    if (rate)
        etchByRate(volume, materialId, *rate, progress);
    else
        IsotropicFilmEtching(volume, materialId, distanceOn(volume)).runEtching(progress);
}

bool IsotropicFilmEtchingOperation::etchByRate(Model::Automaton::TotalVolume& volume, int material,
                                               const RateRecipe& recipe,
                                               Util::ProgressReporter& progress) {
    return recipe.etchEach(material, [&](int id, double microns) {
        IsotropicFilmEtching(volume, id, float(RateRecipe::sceneUnits(volume, microns)))
            .runEtching(progress);
    });
}

ElectrodepositionOperation::ElectrodepositionOperation(OperationContext& context)
    : IsotropicProcessOperation(context, QStringLiteral("Electroplating"), 15,
                                QStringLiteral("Electroplating")) {
    doneText = QStringLiteral("plated");
}

void ElectrodepositionOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                           Util::ProgressReporter& progress) {
    Electrodeposition(volume, materialId, conductingMaterialId, distanceOn(volume))
        .runDeposition(progress);
}

} // namespace Core::Operations
