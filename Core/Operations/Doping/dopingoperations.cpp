#include "Core/Operations/Doping/dopingoperations.h"

#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"

namespace Core::Operations {

namespace {

QString distanceRefusal(const QString& what, float value, double longest) {
    if (isWithin(value, 0.0, longest))
        return QString();
    return QStringLiteral(": The %1 must be a number from 0 to %2 units.")
        .arg(what)
        .arg(longest, 0, 'f', 0);
}

} // namespace

QString DopingProcessOperation::refusal() const {
    if (*dopedMaterialId <= 0)
        return QStringLiteral(": No doped material was chosen.");
    if (SimpleDoping::readDopableMaterials().empty())
        return QStringLiteral(": The process \"Simple Doping\" lists no dopable materials, so "
                              "nothing can be doped.");
    return QString();
}

DopingOperation::DopingOperation(OperationContext& context)
    : DopingProcessOperation(context, QStringLiteral("Doping"), 17, QStringLiteral("Doping")) {}

QString DopingOperation::refusal() const {
    const QString problem =
        distanceRefusal(QStringLiteral("doping depth"), *depth, longestDistance);
    return problem.isEmpty() ? DopingProcessOperation::refusal() : problem;
}

void DopingOperation::runEngine(Model::Automaton::TotalVolume& volume) {
    SimpleDoping(volume, *dopedMaterialId, *depth).runDoping();
}

IonImplantationOperation::IonImplantationOperation(OperationContext& context)
    : DopingProcessOperation(context, QStringLiteral("Ion Implantation"), 3,
                             QStringLiteral("IonImplantation")) {
    cancelText = QStringLiteral(": Operation Canceled!");
}

QString IonImplantationOperation::refusal() const {
    QString problem =
        distanceRefusal(QStringLiteral("implantation depth"), *implantationDepth, longestDistance);
    if (problem.isEmpty())
        problem = distanceRefusal(QStringLiteral("annealing distance"), *annealingDistance,
                                  longestDistance);
    return problem.isEmpty() ? DopingProcessOperation::refusal() : problem;
}

void IonImplantationOperation::runEngine(Model::Automaton::TotalVolume& volume) {
    IonImplantation(volume, *dopedMaterialId, *implantationDepth, *annealingDistance)
        .runImplantation();
}

} // namespace Core::Operations
