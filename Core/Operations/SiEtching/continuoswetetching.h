#pragma once

#include "Core/Operations/SiEtching/wetetchkernel.h"
#include "Model/Automaton/totalvolume.h"

#include "Util/progressreporter.h"
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace Core::Operations {

// Wet etching of crystalline silicon as a continuous cellular automaton: every surface atom
// holds an occupancy that starts at 1 and loses, each step, a rate times the time step that
// depends on its neighbourhood; the atom goes when nothing is left. Atoms with three bulk
// neighbours ((111)-like) etch hundreds of times more slowly than the rest, which gives the
// anisotropy. Same lattice, strips and bookkeeping as the atomistic etch.
class ContinuosWetEtching {
public:
    // Neighbourhood classes 0..32 as listed in configurationTable; UnknownConfiguration for
    // any other combination of counts.
    enum AtomicConfiguration : int { FirstConfiguration = 0, UnknownConfiguration = 33 };

    // First-neighbour surface and bulk counts, second-neighbour surface and bulk counts.
    struct Counts {
        unsigned ns1, nb1, ns2, nb2;
    };
    static constexpr int configurationCount = 33;
    static const Counts configurationTable[configurationCount];
    static const double rates[configurationCount];
    static constexpr double timeStep = 0.1;

    ContinuosWetEtching(Model::Automaton::TotalVolume& volume, double depth,
                        WetEtchSides sides = WetEtchSides::Closed);

    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    // Logs and returns UnknownConfiguration for a combination the table does not know.
    AtomicConfiguration getAtomicConfiguration(const unsigned ns1, const unsigned nb1,
                                               const unsigned ns2, const unsigned nb2) const;

    // Takes one step's loss for the configuration from an occupancy: true, with the
    // occupancy at 0, when less than 1e-6 would be left. An unknown configuration has no rate
    // and loses nothing.
    static bool consumeStep(float& occupancy, AtomicConfiguration configuration);

    void setEtchSide(EtchSide side) { kernel.setEtchSide(side); }
    std::uint64_t getStepsRun() const { return kernel.getStepsRun(); }
    std::uint64_t getAtomsRemoved() const { return kernel.getAtomsRemoved(); }

private:
    // Every atom the run takes starts at occupancy 1; the remainders below 1 are kept per
    // strip while the run lasts (a strip evaluates its own atoms only) and handed to the
    // lattice at its end.
    struct Removal : WetEtchRule {
        static constexpr bool settlesWhenIdle = false;
        explicit Removal(const ContinuosWetEtching& engine) : engine(engine) {}

        void take(Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id) {
            lattice.takeForOccupancy(id);
        }
        void start(Model::Automaton::SiLattice& lattice, int strips);
        bool removes(const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id,
                     int strip);
        void removed(Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id, int) {
            lattice.dropOccupancy(id);
        }
        void finish(Model::Automaton::SiLattice& lattice);

        const ContinuosWetEtching& engine;
        std::vector<std::unordered_map<Model::Automaton::AtomId, float>> remainders;
    };

    WetEtchKernel kernel;
};

} // namespace Core::Operations
