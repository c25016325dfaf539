#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"

#include <algorithm>

namespace Core::Operations {

namespace {
Q_LOGGING_CATEGORY(lcAtomisticEtch, "Core/Operations/SiEtching/atomicstructuresimplesiwetetch",
                   QtInfoMsg)
} // namespace

AtomicStructureSimpleSiWetEtch::AtomicStructureSimpleSiWetEtch(
    Model::Automaton::TotalVolume& volume, double depth, WetEtchSides sides)
    : kernel(volume, depth, lcAtomisticEtch(), sides) {}

void AtomicStructureSimpleSiWetEtch::runEtching(Util::ProgressReporter& progress) {
    if (etchant || customSteps) {
        const NeighbourhoodSteps steps = customSteps ? *customSteps : calibrated(*etchant).steps;
        CalibratedRemoval removal(steps);
        if (factors && !factors->empty())
            removal.factors = factors;
        kernel.setStepsPerLayer(unsigned(std::max(1, steps.terrace100)));
        kernel.run(removal, progress);
        return;
    }
    Removal removal;
    if (factors && !factors->empty()) {
        removal.factors = factors;
        removal.settlesWhenIdle = false;
    }
    kernel.run(removal, progress);
}

bool AtomicStructureSimpleSiWetEtch::Removal::removes(const Model::Automaton::SiLattice& lattice,
                                                      Model::Automaton::AtomId id, int strip) {
    const int bonded = lattice.countBondedNeighbors(id);
    if (bonded >= 4)
        return false;
    // Three bonds hold when the partners are fully bonded themselves, as on a (111) plane.
    if (bonded == 3 && lattice.countSecondNeighbors(id) >= 9)
        return false;
    if (!factors)
        return true;
    const auto slow = factors->find(Model::Automaton::CellIndex(lattice.cellIndexOf(id)));
    if (slow == factors->end())
        return true;
    // Only this strip sees its atoms, so its own map needs no lock.
    auto& credits = this->credits[std::size_t(strip)];
    double& credit = credits[id];
    credit += double(slow->second);
    // Within a thousandth of one counts: a factor a hair below one (lightly doped silicon)
    // must not take two steps per layer.
    if (credit < 1.0 - 1e-3)
        return false;
    credits.erase(id);
    return true;
}

AtomicStructureSimpleSiWetEtch::CalibratedRemoval::CalibratedRemoval(
    const NeighbourhoodSteps& steps) {
    const auto once = [](int count) { return 1.0 / double(std::max(1, count)); };
    once100 = once(steps.terrace100);
    onceStep100 = once(steps.step100);
    once110 = once(steps.chain110);
    once311 = once(steps.step311);
    once111 = once(steps.terrace111);
}

namespace {

// Whether one of the twelve sites two bonds from the atom holds a {100} terrace atom (two
// bonds, both partners fully bonded).
bool terraceTwoBondsAway(const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id) {
    for (unsigned s = 0; s < 4; ++s) {
        const Model::Automaton::AtomId n = lattice.neighbor(id, s);
        if (n == Model::Automaton::noAtom)
            continue;
        for (unsigned t = 0; t < 4; ++t) {
            const Model::Automaton::AtomId m = lattice.neighbor(n, t);
            if (m == Model::Automaton::noAtom || m == id ||
                lattice.state(m) != Model::Automaton::SiAtom::Silicon)
                continue;
            if (lattice.countBondedNeighbors(m) == 2 && lattice.countSecondNeighbors(m) >= 6)
                return true;
        }
    }
    return false;
}

} // namespace

bool AtomicStructureSimpleSiWetEtch::CalibratedRemoval::removes(
    const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id, int strip) {
    const int bonded = lattice.countBondedNeighbors(id);
    if (bonded >= 4)
        return false;
    double gain = 1.0;
    if (bonded == 2) {
        gain = lattice.countSecondNeighbors(id) >= 6 ? once100 : onceStep100;
    } else if (bonded == 3) {
        const int second = lattice.countSecondNeighbors(id);
        int bulk = 0;
        for (unsigned s = 0; s < 4; ++s) {
            const Model::Automaton::AtomId n = lattice.neighbor(id, s);
            if (n != Model::Automaton::noAtom &&
                lattice.state(n) != Model::Automaton::SiAtom::Empty &&
                lattice.countBondedNeighbors(n) == 4)
                ++bulk;
        }
        if (second >= 9)
            gain = once111;
        else if (bulk < 2)
            gain = once110;
        else
            // The foot of a step on a {100} face: were it to go at the high-index pace, each
            // step would drag a train of steps across the terrace below it, and an upright
            // {100} wall fed with steps at the mask and the floor would turn vicinal and
            // recede too fast. Beside a terrace it waits as long as the terrace does.
            gain = terraceTwoBondsAway(lattice, id) ? once100 : once311;
    }
    if (factors) {
        const auto slow = factors->find(Model::Automaton::CellIndex(lattice.cellIndexOf(id)));
        if (slow != factors->end())
            gain *= double(slow->second);
    }
    // Only this strip sees its atoms, so its own map needs no lock.
    auto& credits = this->credits[std::size_t(strip)];
    if (gain >= 1.0 - 1e-9) {
        credits.erase(id);
        return true;
    }
    double& credit = credits[id];
    credit += gain;
    // Shares of 1 / N add up to a hair below one after N steps.
    if (credit < 1.0 - 1e-9)
        return false;
    credits.erase(id);
    return true;
}

} // namespace Core::Operations
