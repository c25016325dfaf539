#include "Core/Operations/SiEtching/boronetchstop.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"

#include <QRegularExpression>

#include <cmath>

namespace Core::Operations {

namespace {

const QString unit = QStringLiteral(" cm⁻³");

// Two significant digits: the bands the registry keeps, "1e+20", "2.5e+19".
QString bandText(double concentration) {
    return QString::number(concentration, 'g', 2);
}

// The name's base and concentration, for a name that materialFor made.
bool splitName(const QString& name, QString& base, double& concentration) {
    static const QRegularExpression pattern(
        QStringLiteral("^(.*) ([0-9]+(\\.[0-9]+)?(e[+-]?[0-9]+)?)") +
        QRegularExpression::escape(unit) + QStringLiteral("$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch())
        return false;
    bool ok = false;
    const double value = match.captured(2).toDouble(&ok);
    if (!ok || !BoronEtchStop::refusal(value).isEmpty())
        return false;
    base = match.captured(1);
    concentration = value;
    return true;
}

} // namespace

double BoronEtchStop::rateFactor(double concentration) {
    if (!(concentration > 0.0))
        return 1.0;
    const double ratio = concentration / criticalConcentration;
    return 1.0 / (1.0 + ratio * ratio * ratio * ratio);
}

QString BoronEtchStop::refusal(double concentration) {
    // Above a few 10²¹ cm⁻³ boron no longer dissolves in silicon; below 10¹² no process dopes.
    if (!std::isfinite(concentration) || concentration < 1e12 || concentration > 5e21)
        return QStringLiteral("The dopant concentration must lie between 1e12 and 5e21 cm⁻³, "
                              "not %1.")
            .arg(concentration);
    return QString();
}

std::uint32_t BoronEtchStop::materialFor(std::uint32_t dopedMaterial, double concentration) {
    auto registry = Model::Materials::MaterialFactory::getInstance();
    const Model::Materials::Material doped = registry->getMaterial(dopedMaterial);
    // A material already made for a concentration dopes at the new one beside its own base.
    QString base = doped.getName();
    double previous = 0.0;
    splitName(doped.getName(), base, previous);
    const QString name = base + QLatin1Char(' ') + bandText(concentration) + unit;
    for (const Model::Materials::Material& material : registry->getMaterials())
        if (material.getName() == name)
            return material.getId();
    Model::Materials::Material made = doped;
    made.setId(registry->generateMaterialId());
    made.setName(name);
    // Kept in the registry for this session; documents carry it with their materials.
    registry->updateMaterial(made);
    return made.getId();
}

std::optional<double> BoronEtchStop::concentrationOf(std::uint32_t material) {
    if (material <= 1)
        return std::nullopt;
    QString base;
    double concentration = 0.0;
    if (!splitName(
            Model::Materials::MaterialFactory::getInstance()->getMaterial(material).getName(), base,
            concentration))
        return std::nullopt;
    return concentration;
}

std::optional<std::uint32_t> BoronEtchStop::baseOf(std::uint32_t material) {
    if (material <= 1)
        return std::nullopt;
    auto registry = Model::Materials::MaterialFactory::getInstance();
    QString base;
    double concentration = 0.0;
    if (!splitName(registry->getMaterial(material).getName(), base, concentration))
        return std::nullopt;
    for (const Model::Materials::Material& candidate : registry->getMaterials())
        if (candidate.getName() == base)
            return candidate.getId();
    return std::nullopt;
}

void BoronEtchStop::lift(Model::Automaton::TotalVolume& volume) {
    cells.clear();
    factors.clear();
    std::unordered_map<std::uint32_t, std::optional<double>> known;
    const Model::Automaton::CellArraysLock lock(volume);
    const Model::Automaton::MaterialCells materials = lock.materials();
    const Model::Automaton::CellIndex count = volume.getCellCount();
    for (Model::Automaton::CellIndex c = 0; c < count; ++c) {
        const std::uint32_t material = materials[std::ptrdiff_t(c)];
        if (material <= 1)
            continue;
        auto found = known.find(material);
        if (found == known.end())
            found = known.emplace(material, concentrationOf(material)).first;
        if (!found->second)
            continue;
        cells.emplace_back(c, material);
        factors.emplace(c, float(rateFactor(*found->second)));
        materials.set(std::ptrdiff_t(c), 1);
    }
}

void BoronEtchStop::restore(Model::Automaton::TotalVolume& volume) const {
    const Model::Automaton::CellArraysLock lock(volume);
    const Model::Automaton::MaterialCells materials = lock.materials();
    for (const auto& [c, material] : cells)
        if (materials[std::ptrdiff_t(c)] == 1)
            materials.set(std::ptrdiff_t(c), material);
}

} // namespace Core::Operations
