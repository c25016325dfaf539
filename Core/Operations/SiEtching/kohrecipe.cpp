#include "Core/Operations/SiEtching/kohrecipe.h"

#include "Core/Operations/celllength.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Metrology/scale.h"

#include <cmath>

namespace Core::Operations {

namespace {

constexpr double boltzmann = 8.617333262e-5; // eV/K
constexpr double kohMolarMass = 56.1056;     // g/mol
constexpr double waterMolarMass = 18.01528;  // g/mol

// Seidel's prefactors in µm/h (mol/l)^-4.25 and activation energies in eV.
constexpr double k100 = 2480.0;
constexpr double ea100 = 0.595;
constexpr double k110 = 4500.0;
constexpr double ea110 = 0.60;

double seidelRate(const KohRecipe& recipe, double k0, double activation) {
    const double kelvin = recipe.temperature + 273.15;
    const double perHour = k0 * std::pow(recipe.waterMolarity(), 4.0) *
                           std::pow(recipe.kohMolarity(), 0.25) *
                           std::exp(-activation / (boltzmann * kelvin));
    return perHour / 60.0;
}

} // namespace

QString KohRecipe::refusal() const {
    if (etchant == Etchant::Tmah) {
        const PlaneRateTable& table = calibrated(Etchant::Tmah).table;
        if (!std::isfinite(concentration) || std::abs(concentration - table.concentration) > 0.05)
            return QStringLiteral("The TMAH etch rates are known for %1 wt%, not %2 wt%.")
                .arg(table.concentration)
                .arg(concentration);
        // Open baths of TMAH are run below boiling; the Arrhenius law is known up to 90 °C.
        if (!std::isfinite(temperature) || temperature < 20.0 || temperature > 95.0)
            return QStringLiteral("The TMAH temperature must lie between 20 and 95 °C, not %1 °C.")
                .arg(temperature);
        if (!std::isfinite(time) || time < 0.0)
            return QStringLiteral("The etch time must be 0 minutes or more, not %1.").arg(time);
        return QString();
    }
    if (!std::isfinite(concentration) || concentration < lowestConcentration ||
        concentration > highestConcentration)
        return QStringLiteral("The KOH etch rates are known for 10 to 60 wt%, not %1 wt%.")
            .arg(concentration);
    // Below freezing or far above boiling the solution is no etchant any more.
    if (!std::isfinite(temperature) || temperature < 0.0 || temperature > 150.0)
        return QStringLiteral("The KOH temperature must lie between 0 and 150 °C, not %1 °C.")
            .arg(temperature);
    if (!std::isfinite(time) || time < 0.0)
        return QStringLiteral("The etch time must be 0 minutes or more, not %1.").arg(time);
    return QString();
}

double KohRecipe::density(double concentration) {
    // A quadratic fit of the handbook densities of aqueous KOH at 20 °C (CRC Handbook of
    // Chemistry and Physics, concentrative properties of aqueous solutions: 1.0904, 1.1884,
    // 1.2905, 1.3991 and 1.5143 g/cm³ at 10 to 50 wt%, water 0.9982). It meets those values
    // within 0.001 g/cm³; above 50 wt% it is an extrapolation, and the solution at etch
    // temperature is some 2 % lighter than at 20 °C, which the rate law's fit absorbs as it
    // was made with room-temperature molarities too.
    const double w = concentration;
    return 0.998421 + 8.90521e-3 * w + 2.81071e-5 * w * w;
}

double KohRecipe::kohMolarity() const {
    // g/cm³ × 1000 = g/l.
    return concentration / 100.0 * density(concentration) * 1000.0 / kohMolarMass;
}

double KohRecipe::waterMolarity() const {
    return (100.0 - concentration) / 100.0 * density(concentration) * 1000.0 / waterMolarMass;
}

double KohRecipe::seidelRate100(double concentration, double temperature) {
    KohRecipe recipe;
    recipe.concentration = concentration;
    recipe.temperature = temperature;
    return seidelRate(recipe, k100, ea100);
}

double KohRecipe::rate100() const {
    if (!etchant)
        return seidelRate(*this, k100, ea100);
    const PlaneRateTable& table = calibrated(*etchant).table;
    if (*etchant == Etchant::Koh)
        return table.rates.r100 * seidelRate(*this, k100, ea100) /
               seidelRate100(table.concentration, table.temperature);
    const double kelvin = temperature + 273.15;
    const double tableKelvin = table.temperature + 273.15;
    return table.rates.r100 *
           std::exp(-tmahActivationEnergy / boltzmann * (1.0 / kelvin - 1.0 / tableKelvin));
}

double KohRecipe::rate110() const {
    if (!etchant)
        return seidelRate(*this, k110, ea110);
    const PlaneRateTable& table = calibrated(*etchant).table;
    return rate100() * table.rates.r110 / table.rates.r100;
}

double KohRecipe::engineDepth(const Model::Automaton::TotalVolume& volume, double microns) {
    return CellLength::of(volume, microns).sceneUnits();
}

QString KohRecipe::depthText() const {
    return QStringLiteral("≈ %1 µm in %2 min")
        .arg(QString::number(depthMicrons(), 'f', 1), QString::number(time, 'g', 6));
}

} // namespace Core::Operations
