#pragma once

#include "Core/Operations/Flux/fluxsurfaceadvance.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"

#include <cstdint>

namespace Core::Operations {

// Deep reactive-ion etching by alternating passivation and etch phases, composed of the
// flux-driven steps (FluxSurfaceAdvance); every cycle runs three of them:
//
// 1. Passivation. The film left by the last cycle is stripped and a fresh conformal film of
//    "Passivation Polymer" of thickness t is deposited (Flux Deposition, Lambertian source,
//    sticking 0.05, so that the film reaches the bottom of the features nearly as thick as on
//    the field: Coburn and Winters, J. Vac. Sci. Technol. B 7 (1989) 1213).
// 2. Breakthrough. Ions (cosine power 1000, sticking at the first hit) etch only the polymer,
//    for 1.5 t at the open-field rate: horizontal films clear, walls, which such a beam strikes
//    at under a hundredth of the field's flux, keep theirs.
// 3. Etch. The etched material recedes as in Flux Etching with ion share 1 − i (i the
//    isotropy), Lambertian neutrals of sticking probability s = 0.1 and an ion exponent of
//    1000, for the time d / r that takes the open field down by the depth per cycle d:
//
//        bottom:  v = r · [(1 − i) · Γ_ion + i · Γ_neutral]
//        wall:    v = g r · [(1 − i) · Γ_ion + i · Γ_neutral],   g = 2 / (2 − s)
//
//    The gain g on cells reached only sideways makes i the ratio of sideways to downward etch
//    on a wall beside an open field: such a wall sees the sky over half its hemisphere and the
//    field below it over the other half (a vertical strip's view factor to a half plane is ½),
//    so Γ_neutral = ½ + ½ (1 − s), what the field re-emits included, and it receives hardly any
//    ions. At the bottom of a slot the neutrals arrive through its opening and off its walls,
//    less the deeper it is (Coburn and Winters' conductance), which is where the aspect-ratio
//    lag comes from; Γ_ion stays near 1 for the aspect ratios a beam of that power reaches.
//
// The scallop of one cycle on a flat wall. The bottom passes depth z of the cycle (measured
// from where it began) at time z / r and the wall there recedes at i · r from then on, until
// the phase ends at d / r; the wall's recess is i · (d − z): a saw tooth of period d whose
// peak-to-valley depth is
//
//        p = i · d,
//
// largest just under the film of the cycle before and zero at the cycle's bottom. Deeper in an
// opening of width w the wall's view of the sky falls to ½ (1 − D / √(D² + w²)) at depth D, and
// the scallops with it. The mask is undercut only by the first cycle, by at most i · d.
// On cells the film is at least one cell thick, and its foot on the bottom masks a strip as
// wide as the film along the wall until the etch has cleared it from the side, which takes
// t / (i · r): the recess is then i · d − t at most, and the overhang of the tooth above shades
// the wall's top further. The cells reach p only where d is many film thicknesses. Measured on a
// wide opening (1 µm cells, t = 1 µm, d = 6 µm, i = 1, one cycle): the top row under the mask
// recedes 3 cells where p is 6. The cells' wall of a row opens only once the bottom has cleared
// that row, which caps the top row at i · (d − e) = 5 (e the cell edge); the mask's shade over
// the recess takes a cell (the etch phase alone on the bare opening recedes 4, the neutral flux
// on the receding wall, times g, falling from 0.9 to 0.7–0.75 as it goes 0 to 3 cells under the
// mask), and the foot the last one.
// The same foot sets each cycle's opening a film's width inside the last cycle's bottom edge,
// which the sideways etch under the foot wins back only in part: with t one cell, d two cells
// and i = 0.4 the wall below the first cycle leans into the opening by 4° to 5°; at i = 0.8
// it stands within 1.3° of vertical. A real film, tens of nanometres against micrometres per
// cycle, leaves the wall vertical.
//
// A final strip removes the remaining polymer when asked. No chemistry, no charging, no ion
// reflection; a cancelled run leaves the cells to the caller to restore.
struct BoschRecipe {
    std::uint32_t material = 1;
    int cycles = 20;
    double etchDepthPerCycle = 1.0;     // µm on the open field
    double passivationThickness = 0.25; // µm on the open field
    double isotropy = 0.3;
    bool stripPassivation = true;
    bool periodicSides = false;
    int raysPerCell = 64;
    std::uint64_t seed = 0;

    // Why the recipe cannot run, as a sentence; empty when it can.
    QString refusal() const;
    // The same for the cell edges (µm) it would run on: a film or a step thinner than half a
    // cell would leave no cell changed.
    QString refusalOn(const Model::Automaton::TotalVolume& volume) const;

    // The flux steps of one cycle.
    FluxStepRecipe passivation(int cycle) const;
    FluxStepRecipe breakthrough(int cycle) const;
    FluxStepRecipe etch(int cycle) const;
};

// The registry material the passivation film is made of; the step adds it to the registry
// when the registry has no such id.
constexpr std::uint32_t passivationPolymer = 18;
void ensurePassivationPolymer();

class BoschDrie {
public:
    // Runs every cycle; stops with Util::RunCancelled between flux maps once cancelled.
    static void run(Model::Automaton::TotalVolume& volume, const BoschRecipe& recipe,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());
    // Turns every polymer cell back into empty space.
    static void strip(Model::Automaton::TotalVolume& volume);
};

// Menu action "Bosch DRIE".
class BoschDrieOperation : public SnapshotProcessOperation {
public:
    static constexpr int number = 33;
    explicit BoschDrieOperation(OperationContext& context);

    void setRecipe(const BoschRecipe& value) {
        recipe = value;
        recipeSet = true;
    }
    const BoschRecipe& getRecipe() const { return recipe; }

protected:
    bool isReady() const override { return recipeSet; }
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return recipe.material == 1; }

private:
    BoschRecipe recipe;
    bool recipeSet = false;
};

} // namespace Core::Operations
