#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <map>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// A film step given as a fab runs it: a rate in µm/min for a time in minutes, instead of a
// thickness or depth. An etch may add the rates at which the other materials go in the same
// etchant (its selectivity): each of them then recedes by its own rate × time.
struct RateRecipe {
    double rate = 0.1;  // µm/min
    double time = 10.0; // min
    // Material id → µm/min, for the materials other than the one the step works on.
    std::map<std::uint32_t, double> otherRates;

    // Why the recipe cannot run, as a sentence; empty when it can.
    QString refusal() const;
    double microns() const { return rate * time; }
    // A length in µm as the distance in the volume's scene units of the whole number of cells
    // nearest to it down its z axis, and as that count of cells (see CellLength).
    static double sceneUnits(const Model::Automaton::TotalVolume& volume, double microns);
    static int cellsDown(const Model::Automaton::TotalVolume& volume, double microns);

    // Runs `etch(id, microns)` for `material` by rate × time, then for every other material of
    // the table by its own rate × time, each from the surface it had before the step (a mask
    // that wears away meanwhile adds no undercut). True when silicon was among them: its
    // lattice then no longer matches the cells.
    bool etchEach(int material, const std::function<void(int, double)>& etch) const;

    // "1.5 µm in 15 min".
    static QString lengthText(double microns, double time);

    // The other rates as a process list keeps them, "3:0.05;11:0.2", and back; false, with
    // the part that is wrong in `problem`, for text that is no such list.
    static QString formatRates(const std::map<std::uint32_t, double>& rates);
    static bool parseRates(const QString& text, std::map<std::uint32_t, double>& rates,
                           QString& problem);
};

} // namespace Core::Operations
