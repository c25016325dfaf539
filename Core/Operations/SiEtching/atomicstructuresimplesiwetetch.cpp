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
    kernel.run(removal, progress);
}

bool AtomicStructureSimpleSiWetEtch::Removal::removes(const Model::Automaton::SiLattice& lattice,
                                                      Model::Automaton::AtomId id, int) const {
    const int bonded = lattice.countBondedNeighbors(id);
    if (bonded >= 4)
        return false;
    // Three bonds hold when the partners are fully bonded themselves, as on a (111) plane.
    if (bonded == 3)
        return lattice.countSecondNeighbors(id) < 9;
    return true;
}

} // namespace Core::Operations
