#pragma once

#include "Core/Operations/SiEtching/planerates.h"

#include <QString>

#include <optional>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// An anisotropic wet etch given as a fab runs it: aqueous KOH of a concentration (wt%) at a
// temperature (°C) for a time (min). The (100) and (110) etch rates follow Seidel's empirical
// law R = k0 [H2O]^4 [KOH]^(1/4) exp(-Ea / kT), with the molarities taken from the solution's
// density; the law was fitted for 10 to 60 wt% and is refused outside that range.
//
// A recipe may name its etchant; the etch then follows that etchant's calibrated plane rates
// (PlaneRateTable) and its (100) rate is the table's, carried to the recipe's solution:
//
//   KOH:  R(C, T) = R_table × Seidel(C, T) / Seidel(34 wt%, 70 °C), the law above;
//   TMAH: R(T) = R_table × exp(-Ea / k × (1 / T - 1 / T_table)), Ea = 0.6 eV for (100) in
//         O. Tabata, R. Asahi, H. Funabashi, K. Shimaoka, S. Sugiyama, "Anisotropic etching
//         of silicon in TMAH solutions", Sensors and Actuators A 34 (1992) 51-57 (their
//         Arrhenius plots, 60 to 90 °C). The concentration dependence of TMAH is not
//         modelled: only the table's 25 wt% is accepted.
//
// Without an etchant the recipe keeps Seidel's (100) rate and the uncalibrated lattice rule.
struct KohRecipe {
    double concentration = 30.0; // wt%
    double temperature = 80.0;   // °C
    double time = 10.0;          // min
    std::optional<Etchant> etchant;

    KohRecipe() = default;
    KohRecipe(double concentration, double temperature, double time,
              std::optional<Etchant> etchant = std::nullopt)
        : concentration(concentration), temperature(temperature), time(time), etchant(etchant) {}

    static constexpr double lowestConcentration = 10.0;
    static constexpr double highestConcentration = 60.0;

    // Why the recipe cannot be used, as a sentence; empty when it can.
    QString refusal() const;

    // Density of the solution in g/cm³ at this concentration.
    static double density(double concentration);
    // Molarities in mol/l.
    double kohMolarity() const;
    double waterMolarity() const;

    // Etch rates in µm/min.
    double rate100() const;
    double rate110() const;
    // Seidel's (100) rate of KOH, whatever the recipe's etchant.
    static double seidelRate100(double concentration, double temperature);

    static constexpr double tmahActivationEnergy = 0.6; // eV
    // How deep a (100) wafer is etched in the recipe's time, in µm.
    double depthMicrons() const { return rate100() * time; }

    // The depth the lattice etch is given for this recipe on `volume`: the (100) depth in µm
    // rounded to whole cells down z (see CellLength), in scene units.
    double engineDepth(const Model::Automaton::TotalVolume& volume) const {
        return engineDepth(volume, depthMicrons());
    }
    // Any depth in µm as the lattice etch's depth on `volume`.
    static double engineDepth(const Model::Automaton::TotalVolume& volume, double microns);

    // "≈ 27.2 µm in 20 min", what the dialogs show before OK.
    QString depthText() const;
};

} // namespace Core::Operations
