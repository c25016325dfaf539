#include "Core/Operations/SiEtching/planerates.h"

#include "Core/Operations/SiEtching/kohrecipe.h"

#include <cmath>

namespace Core::Operations {

namespace {

// The counts were fitted by bench/calibration/wetetchcalibration.cpp (its table shows how
// close they come): 11 steps per (100) layer, the (110) and (111) counts from the rate ratios
// (see the header) corrected by the measured faces, and the two step counts searched on the
// measured {311} face.
const CalibratedEtchant koh{{Etchant::Koh, 34.0, 70.0, {0.797, 1.455, 0.005, 1.486}},
                            {11, 5, 9, 6, 4218}};
const CalibratedEtchant tmah{{Etchant::Tmah, 25.0, 90.0, {0.603, 1.114, 0.017, 1.177}},
                             {11, 6, 9, 6, 938}};

} // namespace

QString etchantName(Etchant etchant) {
    return etchant == Etchant::Tmah ? QStringLiteral("TMAH") : QStringLiteral("KOH");
}

bool etchantFromName(const QString& name, Etchant& etchant) {
    for (const Etchant candidate : {Etchant::Koh, Etchant::Tmah}) {
        if (name.trimmed().compare(etchantName(candidate), Qt::CaseInsensitive) == 0) {
            etchant = candidate;
            return true;
        }
    }
    return false;
}

const CalibratedEtchant& calibrated(Etchant etchant) {
    return etchant == Etchant::Tmah ? tmah : koh;
}

PlaneRates planeRates(Etchant etchant, double concentration, double temperature) {
    const PlaneRateTable& table = calibrated(etchant).table;
    KohRecipe recipe;
    recipe.etchant = etchant;
    recipe.concentration = concentration;
    recipe.temperature = temperature;
    const double scale = recipe.rate100() / table.rates.r100;
    const PlaneRates& r = table.rates;
    return {r.r100 * scale, r.r110 * scale, r.r111 * scale, r.r311 * scale};
}

double convexCornerUndercutRatio(const PlaneRates& rates) {
    return std::sqrt(11.0) / 3.0 * rates.r311 / rates.r100;
}

} // namespace Core::Operations
