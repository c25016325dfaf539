#include "Core/Operations/raterecipe.h"

#include "Core/Operations/celllength.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Metrology/scale.h"

#include <QStringList>

#include <cmath>

namespace Core::Operations {

namespace {

bool usable(double value) {
    return std::isfinite(value) && value >= 0.0 && value <= 1.0e9;
}

} // namespace

QString RateRecipe::refusal() const {
    if (!usable(rate))
        return QStringLiteral("The rate must be 0 µm/min or more, not %1.").arg(rate);
    if (!usable(time))
        return QStringLiteral("The time must be 0 minutes or more, not %1.").arg(time);
    for (const auto& [material, other] : otherRates)
        if (!usable(other))
            return QStringLiteral("The rate of material %1 must be 0 µm/min or more, not %2.")
                .arg(material)
                .arg(other);
    if (!usable(microns()))
        return QStringLiteral("%1 µm/min for %2 minutes is beyond any volume.").arg(rate).arg(time);
    return QString();
}

double RateRecipe::sceneUnits(const Model::Automaton::TotalVolume& volume, double microns) {
    return CellLength::of(volume, microns).sceneUnits();
}

int RateRecipe::cellsDown(const Model::Automaton::TotalVolume& volume, double microns) {
    return int(CellLength::of(volume, microns).cells);
}

QString RateRecipe::lengthText(double microns, double time) {
    return QStringLiteral("%1 µm in %2 min")
        .arg(QString::number(microns, 'g', 4), QString::number(time, 'g', 6));
}

bool RateRecipe::etchEach(int material, const std::function<void(int, double)>& etch) const {
    etch(material, microns());
    bool silicon = material == 1;
    for (const auto& [other, otherRate] : otherRates)
        if (int(other) != material && otherRate > 0.0) {
            etch(int(other), otherRate * time);
            silicon = silicon || other == 1;
        }
    return silicon;
}

QString RateRecipe::formatRates(const std::map<std::uint32_t, double>& rates) {
    QStringList parts;
    for (const auto& [material, rate] : rates)
        parts << QStringLiteral("%1:%2").arg(material).arg(QString::number(rate, 'g', 10));
    return parts.join(QLatin1Char(';'));
}

bool RateRecipe::parseRates(const QString& text, std::map<std::uint32_t, double>& rates,
                            QString& problem) {
    rates.clear();
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(QLatin1Char(':'));
        bool idOk = false, rateOk = false;
        const uint material = pair.size() == 2 ? pair[0].trimmed().toUInt(&idOk) : 0;
        const double rate = pair.size() == 2 ? pair[1].trimmed().toDouble(&rateOk) : 0.0;
        if (!idOk || !rateOk || material == 0 || !usable(rate)) {
            problem = QStringLiteral("\"%1\" is no MATERIAL-ID:RATE").arg(part);
            rates.clear();
            return false;
        }
        rates[material] = rate;
    }
    return true;
}

} // namespace Core::Operations
