#pragma once

#include <QString>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// An anisotropic wet etch given as a fab runs it: aqueous KOH of a concentration (wt%) at a
// temperature (°C) for a time (min). The (100) and (110) etch rates follow Seidel's empirical
// law R = k0 [H2O]^4 [KOH]^(1/4) exp(-Ea / kT), with the molarities taken from the solution's
// density; the law was fitted for 10 to 60 wt% and is refused outside that range.
struct KohRecipe {
    double concentration = 30.0; // wt%
    double temperature = 80.0;   // °C
    double time = 10.0;          // min

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
