#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace Core::Operations {

// A step whose surface moves where particles land: ion-enhanced reactive-ion etching or a
// deposition with the step coverage of its source and sticking (see Model/Transport/fluxengine.h
// for the particles).
//
// Etching. Each surface cell of a material with an open-field rate r_m (the etched material's
// rate, or its entry of the other materials' rates) recedes at
//
//     v = r_m · [f · Γ_ion + (1 − f) · Γ_neutral],
//
// f the ion share of the removal, Γ_ion the flux of a cosine-power source of the ion exponent
// that sticks on the first hit (for a beam of power 100 and more, on a cell open above that flux
// lands on its top: a corner cell open above and at a side counts it over its top's area),
// Γ_neutral the total flux (direct and re-emitted) of a Lambertian source with the neutral sticking
// probability. Both are 1 on the open field, where the surface recedes at r_m. No plasma chemistry,
// no charging, no ion reflection.
//
// Deposition. Each empty cell beside the surface grows at v = r · Γ, Γ the total flux of the
// source on the surface it faces (the largest, when it faces several): sticking 1 is line of
// sight, small sticking nearly conformal (Coburn and Winters).
//
// A material whose registry entry has a sticking probability of its own ("sticking" in
// materials.xml) keeps it for the neutrals and the deposition's particles; ions always stick.
//
// Time steps. Every step traces the flux afresh and lasts dt = min(left, e_min / v_max), e_min
// the shortest cell edge, so that no cell advances more than one cell between two flux maps.
// A cell collects v · dt in µm; once it holds its edge along the direction it is reached from
// (z for cells open from above or below), it changes, and what it held beyond the edge passes to
// the cells the change exposes along that direction (a floor's excess goes to the cell below it,
// not to the wall it bares). The cells a change bares that the surface had not reached start the
// next step with their own rate times the gone cell's neutral part of the flux ((1 − f) ·
// Γ_neutral) for the time since it went: neutrals come from every side, ions only from above,
// so a corner etched by neutrals goes on round within a step as an isotropic front does, where
// a pure ion etch bares its walls with nothing. When the time is up, the cells that hold at least
// half their edge change too, so that the front stops at the cell face nearest to where rate × time
// puts it. The changes are written through the front kernel; a cell on the volume's top layer or
// reached only across a periodic side does not change.
//
// A lining (etching only): faces of surface cells covered by a film thinner than a cell, which
// the etch does not cross. A lined cell recedes only through its bare faces, along z when one
// of them is its top and sideways otherwise; a cell bared only from below does not recede, as
// the film of the wall above reaches round the ridge it hangs from. Faces the etch opens are
// bare. Where the neutrals come from the mouth (`neutralsFromMouth`), a cell that is not the
// top of its column, under an overhang or in a wall, takes the neutral flux of the floor of the
// nearest open column its cavity opens onto, through the empty cells at its side: the
// radicals, which stick rarely, fill a cavity as shallow as a cycle's recess to the density at
// its mouth, so the sideways etch keeps its ratio to the floor's downward etch.
struct FluxStepRecipe {
    enum class Kind { Etching, Deposition };
    Kind kind = Kind::Etching;
    // The etched or the deposited material.
    std::uint32_t material = 1;
    double rate = 0.1;  // µm/min on the open field
    double time = 10.0; // min
    // Etching: µm/min of the other materials that recede in the same plasma.
    std::map<std::uint32_t, double> otherRates;
    double ionExponent = 100.0;
    double neutralSticking = 0.1;
    double ionShare = 0.5;
    // Deposition: the source's cosine power and the film's sticking probability.
    double sourceExponent = 1.0;
    double sticking = 1.0;
    // Etching: cells not open to the plasma take the neutrals of the floor at their cavity's
    // mouth (see above; the Bosch cycle's isotropic phase).
    bool neutralsFromMouth = false;
    bool periodicSides = false;
    int raysPerCell = 100;
    std::uint64_t seed = 0;

    // Why the recipe cannot run, as a sentence; empty when it can.
    QString refusal() const;
};

// A surface cell's faces under a film, bit f for direction f of {-z, +z, -y, +y, -x, +x}.
struct LinedCell {
    Model::Automaton::CellIndex cell;
    std::uint8_t faces;
    bool operator<(const LinedCell& other) const { return cell < other.cell; }
};
// In cell order.
using FilmLining = std::vector<LinedCell>;

class FluxSurfaceAdvance {
public:
    FluxSurfaceAdvance(Model::Automaton::TotalVolume& volume, const FluxStepRecipe& recipe,
                       const FilmLining* lining = nullptr);

    // Reports one step per flux map (the count estimated from the open field) and stops with
    // Util::RunCancelled between maps once cancelled; the caller restores the cells.
    void run(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    // Flux maps traced by the last run.
    int fluxMaps() const { return maps; }

    // Fills the listed empty cells with `film`, or empties the listed cells (`film` 0), through
    // the front kernel; `cells` in cell order.
    static void changeCells(Model::Automaton::TotalVolume& volume,
                            const std::vector<Model::Automaton::CellIndex>& cells,
                            Model::Automaton::MaterialId film);
    // The registry's materials that stick with a probability of their own.
    static std::map<std::uint32_t, double> registrySticking();

private:
    Model::Automaton::TotalVolume& volume;
    FluxStepRecipe recipe;
    const FilmLining* lining;
    int maps = 0;
};

} // namespace Core::Operations
