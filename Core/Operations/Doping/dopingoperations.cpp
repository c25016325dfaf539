#include "Core/Operations/Doping/dopingoperations.h"

#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"
#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Model/Metrology/scale.h"

namespace Core::Operations {

namespace {

// Longest distance accepted from outside the dialogs, which offer no more.
constexpr double longestDistance = 1.0e9;

QString distanceRefusal(const QString& what, float value) {
    if (isWithin(value, 0.0, longestDistance))
        return QString();
    return QStringLiteral("The %1 must be a number from 0 to %2 units.")
        .arg(what)
        .arg(longestDistance, 0, 'f', 0);
}

} // namespace

QString DopingProcessOperation::dopedMaterialRefusal(int dopedMaterialId) {
    if (dopedMaterialId <= 0)
        return QStringLiteral("No doped material was chosen.");
    if (SimpleDoping::readDopableMaterials().empty())
        return QStringLiteral("The process \"Simple Doping\" lists no dopable materials, so "
                              "nothing can be doped.");
    return QString();
}

QString DopingProcessOperation::refusal() const {
    return dopedMaterialRefusal(*dopedMaterialId);
}

DopingOperation::DopingOperation(OperationContext& context)
    : DopingProcessOperation(context, QStringLiteral("Doping"), 17, QStringLiteral("Doping")) {}

QString DopingOperation::refusalFor(int dopedMaterialId, float depth) {
    const QString problem = distanceRefusal(QStringLiteral("doping depth"), depth);
    return problem.isEmpty() ? dopedMaterialRefusal(dopedMaterialId) : problem;
}

void DopingOperation::run(Model::Automaton::TotalVolume& volume, int dopedMaterialId, float depth,
                          Util::ProgressReporter& progress) {
    // Depths are given in µm and made of whole cells.
    SimpleDoping(volume, dopedMaterialId, float(CellLength::of(volume, depth).sceneUnits()))
        .runDoping(progress);
}

QString DopingOperation::refusal() const {
    const QString problem = refusalFor(*dopedMaterialId, *depth);
    if (problem.isEmpty() && concentration)
        return BoronEtchStop::refusal(*concentration);
    return problem;
}

void DopingOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                Util::ProgressReporter& progress) {
    // The concentration lives in the material the cells are doped into.
    const int doped =
        concentration
            ? int(BoronEtchStop::materialFor(std::uint32_t(*dopedMaterialId), *concentration))
            : *dopedMaterialId;
    run(volume, doped, *depth, progress);
}

IonImplantationOperation::IonImplantationOperation(OperationContext& context)
    : DopingProcessOperation(context, QStringLiteral("Ion Implantation"), 3,
                             QStringLiteral("IonImplantation")) {
    cancelText = QStringLiteral(": Operation Canceled!");
}

QString IonImplantationOperation::refusalFor(int dopedMaterialId, float implantationDepth,
                                             float annealingDistance) {
    QString problem = distanceRefusal(QStringLiteral("implantation depth"), implantationDepth);
    if (problem.isEmpty())
        problem = distanceRefusal(QStringLiteral("annealing distance"), annealingDistance);
    return problem.isEmpty() ? dopedMaterialRefusal(dopedMaterialId) : problem;
}

void IonImplantationOperation::run(Model::Automaton::TotalVolume& volume, int dopedMaterialId,
                                   float implantationDepth, float annealingDistance,
                                   Util::ProgressReporter& progress) {
    IonImplantation(volume, dopedMaterialId,
                    float(Model::Metrology::sceneUnitsOf(volume, implantationDepth)),
                    float(Model::Metrology::sceneUnitsOf(volume, annealingDistance)))
        .runImplantation(progress);
}

QString IonImplantationOperation::refusal() const {
    return refusalFor(*dopedMaterialId, *implantationDepth, *annealingDistance);
}

void IonImplantationOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                         Util::ProgressReporter& progress) {
    run(volume, *dopedMaterialId, *implantationDepth, *annealingDistance, progress);
}

} // namespace Core::Operations
