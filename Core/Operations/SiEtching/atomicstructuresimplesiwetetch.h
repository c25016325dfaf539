#pragma once

#include "Core/Operations/SiEtching/wetetchkernel.h"
#include "Model/Automaton/totalvolume.h"

#include "Util/progressreporter.h"
#include <cstdint>

namespace Core::Operations {

// Anisotropic wet etching of crystalline silicon, one atomic layer per step: a surface atom
// goes when it holds two bonds or fewer, or three whose partners are themselves weakly bonded.
// (100) and (110) surfaces recede, (111) planes (three fully bonded partners) stop the etch.
// Works on the volume's silicon lattice, which the caller builds when it is out of date.
class AtomicStructureSimpleSiWetEtch {
public:
    AtomicStructureSimpleSiWetEtch(Model::Automaton::TotalVolume& volume, double depth,
                                   WetEtchSides sides = WetEtchSides::Closed);

    // Runs the whole etch on the calling thread, fanning out to the global pool.
    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    std::uint64_t getStepsRun() const { return kernel.getStepsRun(); }
    std::uint64_t getAtomsRemoved() const { return kernel.getAtomsRemoved(); }

private:
    struct Removal : WetEtchRule {
        static constexpr bool settlesWhenIdle = true;
        bool removes(const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id,
                     int strip) const;
    };

    WetEtchKernel kernel;
};

} // namespace Core::Operations
