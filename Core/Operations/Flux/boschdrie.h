#pragma once

#include "Core/Operations/Flux/fluxsurfaceadvance.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"
#include "Model/Transport/fluxengine.h"

#include <cstdint>

namespace Core::Operations {

// Deep reactive-ion etching by alternating passivation and etch phases, built on the flux
// engine and the flux-driven surface advance (FluxSurfaceAdvance); every cycle runs:
//
// 1. Passivation. A fresh conformal film of "Passivation Polymer" of thickness t · Γ_film lines
//    every exposed face of the etched material, Γ_film the flux of the flux deposition's
//    Lambertian source with sticking 0.05 (thin enough a sticking for the film to reach the
//    bottom of the features nearly as thick as on the field: Coburn and Winters, J. Vac. Sci.
//    Technol. B 7 (1989) 1213). The film takes no cell: a real one is tens of nanometres
//    against micrometres per cycle, and a film a whole cell thick narrows every cycle's
//    opening by a cell at the foot of the wall, which tilts the walls into the opening.
// 2. Breakthrough. Ions of cosine power 1000 (sticking at the first hit) for 1.5 t at the
//    open-field rate: such a beam puts its flux on the faces that look up (a vertical face gets
//    under a hundredth of it), so a cell's ion dose, 1.5 t · Γ_ion · a / a_up (a its exposed
//    area, a_up that of its top), falls on its top face, and the film leaves every top face
//    where that dose reaches t · Γ_film. Side faces and undersides keep their film. Both sides
//    scale with t, so where the film clears does not depend on its thickness.
// 3. Etch. Every surface cell of the etched material recedes through its bare faces (those the
//    breakthrough cleared and those the etch itself opens) at
//
//        v = r · [(1 − i) · Γ_ion + i · Γ_n,mouth],
//
//    r = d / (phase time) the open-field rate, i the isotropy, Γ_ion the cell's flux of the ions
//    (power 1000), Γ_n,mouth the Lambertian neutrals' flux (sticking s = 0.1, re-emission
//    included) on the floor at the mouth of the cell's cavity: the cell's own when it is the
//    top of its column, else that of the nearest column open to the plasma reached through the
//    empty cells at its side. The neutrals stick rarely and fill a cavity as shallow as one
//    cycle's recess to the density at its mouth, so a wall recedes at i times the rate the
//    floor beside it goes down: i is the ratio of sideways to downward etch, 0 straight down,
//    1 as much sideways as down. At the bottom of a narrow gap fewer neutrals arrive (Coburn
//    and Winters' conductance), which is where the aspect-ratio lag comes from, for the floor
//    and its scallops alike. A cell bared only from below does not recede: the film of the
//    wall above ends at its ridge and holds it.
//
// The scallop of one cycle on a flat wall. The floor at the wall's foot takes a share g of the
// open field's neutrals (1 on a flat wall with nothing above it; about 0.94 beside a mask two
// cells thick, less as the wall above grows) and recedes at g · r where the neutrals carry the
// etch; it clears row k of the cycle (k = 1 … n, rows of height e_z counted down from where the
// cycle began, n = d / e_z) at t_k = k e_z / (g r). From then the row's wall is bare and
// recedes at i · g · r (the beam misses it, Γ_ion < 0.01, and its mouth is that floor) until
// the phase ends at d / r, by i · (g d − k e_z). A cell bared part-way through a flux map
// starts from what it took since (the advance's bared cells), and changes once its dose
// reaches its edge, and at the end of the phase once it holds half of it, so the row's recess
// is e_x · ⌊i (g d − k e_z) / e_x + ½⌋ and the tooth's peak to valley, from its top row (under
// the mask or the ridge of the cycle before, nothing over it etches) to its bottom row (which
// opens as the phase ends), is
//
//        p = e_x · ⌊i · (g · d − e_z) / e_x + ½⌋,     which tends to i · g · d as cells shrink.
//
// The rows between recede as the face-connected front of an isotropic etch does, by the same
// i · (g d − k e_z): the tooth is a triangle on the cells where a real one is round, with the
// same depth. The next cycle's floor opens at the last one's bottom edge and the ridges stay,
// so the wall is a row of such teeth whose period is what the floor at the wall's foot goes
// down in a cycle, g · d, and the mask is undercut by the first cycle's p, no more. On 1 µm
// cells with 6 µm a cycle one cycle's undercut is 2, 3, 3, 4, 4 and 4 cells at i = 0.5 … 1
// in steps of 0.1, where p is 2, 3, 3, 4, 4 and 5 with g = 0.94; three cycles read a period of
// 5 µm. The deep wall shades the floor at its foot from part of the ions' spread (about 1.8°
// at power 1000) and of the neutrals, so the floor there lags, and the sideways etch takes
// that foot back: a wide opening's wall stands within a degree of 90° at i = 1 and at i = 0.4
// (89.4° after 10 cycles of 3 cells); below the last two cycles the floor's foot stays
// rounded. Deeper in an opening the neutrals at the floor fall with the aspect ratio, and the
// cycle's depth and scallop with them.
//
// A final strip leaves no film; without it the last cycle's film is left as a cell of polymer
// on every face it lines, where t is at least half a cell. No chemistry, no charging, no ion
// reflection, no wear of the film during the etch; a cancelled run leaves the cells to the
// caller to restore.
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

    // The flux maps of one cycle's film and breakthrough, and its etch.
    Model::Transport::FluxSettings passivation(int cycle) const;
    Model::Transport::FluxSettings breakthrough(int cycle) const;
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
    // The faces of the etched material that one cycle's film lines after its breakthrough.
    static FilmLining line(Model::Automaton::TotalVolume& volume, const BoschRecipe& recipe,
                           int cycle,
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
