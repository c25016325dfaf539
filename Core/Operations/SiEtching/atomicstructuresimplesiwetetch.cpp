#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"

namespace Core::Operations {

namespace {
Q_LOGGING_CATEGORY(lcAtomisticEtch, "Core/Operations/SiEtching/atomicstructuresimplesiwetetch",
                   QtInfoMsg)
} // namespace

AtomicStructureSimpleSiWetEtch::AtomicStructureSimpleSiWetEtch(
    Model::Automaton::TotalVolume& volume, double depth, WetEtchSides sides)
    : kernel(volume, depth, lcAtomisticEtch(), sides) {}

void AtomicStructureSimpleSiWetEtch::runEtching(Util::ProgressReporter& progress) {
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

} // namespace Core::Operations
