#pragma once

#include "Model/Automaton/cellindex.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// Heavily boron-doped silicon etches slowly in alkaline etchants: the etch stop that leaves
// membranes. The rate of silicon doped with boron at C (cm⁻³) is that of undoped silicon
// reduced by
//
//     R(C) / R_i = 1 / (1 + (C / C0)^4),   C0 = 2 × 10¹⁹ cm⁻³,
//
// the fourth-power fall above a critical concentration near 2 × 10¹⁹ cm⁻³ that Seidel,
// Csepregi, Heuberger and Baumgärtel measured in KOH (J. Electrochem. Soc. 137 (1990)
// 3626-3632, "Anisotropic etching of crystalline silicon in alkaline solutions, II. Influence
// of dopants"). Their data give the exponent 4 and C0 between about 1.5 and 3 × 10¹⁹ cm⁻³
// depending on the etchant; the form with a unit denominator is the usual reading of their
// fit, not a formula printed verbatim in the paper.
//
// The concentration of a doped cell is kept in its material: a doping step with a
// concentration dopes into a registry material made for that concentration, "P-doped Si (100)
// 1e+20 cm⁻³" beside "P-doped Si (100)", with the colour of the material chosen, made on first
// use and shared by every step with the same concentration (two significant digits). The cells
// keep their 16-bit ids, and documents, undo and exports carry the material like any other.
class BoronEtchStop {
public:
    static constexpr double criticalConcentration = 2e19; // cm⁻³

    // R(C) / R_i for a boron concentration in cm⁻³; 1 for none.
    static double rateFactor(double concentration);

    // Why a concentration cannot be used; empty when it can.
    static QString refusal(double concentration);

    // The material that holds `dopedMaterial` at `concentration`, made in the registry when
    // it is not there yet.
    static std::uint32_t materialFor(std::uint32_t dopedMaterial, double concentration);
    // The concentration a material holds, when it is one of those made by materialFor.
    static std::optional<double> concentrationOf(std::uint32_t material);
    // The registered material it was made from, when it is one of them.
    static std::optional<std::uint32_t> baseOf(std::uint32_t material);

    // For the wet etch: every cell whose material holds a concentration becomes silicon while
    // the lattice etches it, at its rate factor; restore() gives the cells that were not
    // etched their material back.
    void lift(Model::Automaton::TotalVolume& volume);
    void restore(Model::Automaton::TotalVolume& volume) const;
    bool isEmpty() const { return cells.empty(); }
    const std::unordered_map<Model::Automaton::CellIndex, float>& rateFactors() const {
        return factors;
    }

private:
    std::vector<std::pair<Model::Automaton::CellIndex, std::uint32_t>> cells;
    std::unordered_map<Model::Automaton::CellIndex, float> factors;
};

} // namespace Core::Operations
