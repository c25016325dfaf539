#include "Core/ProcessList/processdata.h"

namespace Ui {

std::atomic<int> ProcessData::nextId{0};

ProcessData::ProcessData(int processType) : id(nextId++), processType(processType) {}

void ProcessData::setParameter(const QString& name, const QVariant& value, bool visible) {
    parameters.insert(name, value);
    visibility.insert(name, visible);
}

bool ProcessData::replaceParameter(const QString& name, const QVariant& value) {
    const auto found = parameters.find(name);
    if (found == parameters.end())
        return false;
    *found = value;
    return true;
}

QVariant ProcessData::getParameter(const QString& name) {
    return parameters[name];
}

bool ProcessData::isVisible(const QString& name) {
    return visibility[name];
}

QString ProcessData::displayName(int processType) {
    static const char* const names[] = {
        "Photolithography",
        "Si wet etching",
        "Moore deposition",
        "Moore etching",
        "CVD",
        "Isotropic etching",
        "Planarization",
        "Electroplating",
        "Doping",
        "Spin Coating",
        "Save Image",
        "Create Substrate",
        "PVD",
        "Simple RIE",
        "Ion Implantation",
        "Si Oxidation",
    };
    if (processType == Measure)
        return QStringLiteral("Measure");
    if (processType == SaveCrossSection)
        return QStringLiteral("Save Cross-Section");
    if (processType == FluxEtching)
        return QStringLiteral("Flux Etching");
    if (processType == FluxDeposition)
        return QStringLiteral("Flux Deposition");
    if (processType == BoschDrie)
        return QStringLiteral("Bosch DRIE");
    if (processType == ReleaseEtch)
        return QStringLiteral("Release Etch");
    if (processType < 0 || processType >= int(sizeof(names) / sizeof(names[0])))
        return QStringLiteral("Unknown process");
    return QString::fromLatin1(names[processType]);
}

} // namespace Ui
