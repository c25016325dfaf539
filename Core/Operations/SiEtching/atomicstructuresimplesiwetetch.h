#pragma once

#include "Core/Operations/SiEtching/planerates.h"
#include "Core/Operations/SiEtching/wetetchkernel.h"
#include "Model/Automaton/totalvolume.h"

#include "Util/progressreporter.h"
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace Core::Operations {

// Anisotropic wet etching of crystalline silicon, one atomic layer per step: a surface atom
// goes when it holds two bonds or fewer, or three whose partners are themselves weakly bonded.
// (100) and (110) surfaces recede, (111) planes (three fully bonded partners) stop the etch.
// Works on the volume's silicon lattice, which the caller builds when it is out of date.
//
// Cells may etch slower than silicon by a factor (a boron-doped layer, see BoronEtchStop): an
// atom there that the rule would remove goes only once it has been removable for 1 / factor
// steps, which slows every plane of the cell by that factor.
//
// Given an etchant, the etch is calibrated instead: every surface atom gathers, each step,
// 1 / N of its removal, N the count of steps of its neighbourhood (NeighbourhoodSteps), and
// goes once it has gathered the whole. The counts are fitted so that the planes recede at the
// etchant's published rates; a (100) layer then takes NeighbourhoodSteps::terrace100 steps,
// and the run takes that many steps per layer of its depth.
class AtomicStructureSimpleSiWetEtch {
public:
    AtomicStructureSimpleSiWetEtch(Model::Automaton::TotalVolume& volume, double depth,
                                   WetEtchSides sides = WetEtchSides::Closed);

    // Runs the whole etch on the calling thread, fanning out to the global pool.
    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    void setEtchSide(EtchSide side) { kernel.setEtchSide(side); }
    // The calibrated etch of an etchant; none (the default) keeps the rule above.
    void setEtchant(std::optional<Etchant> value) { etchant = value; }
    // The calibrated etch with counts of one's own, for the calibration itself.
    void setNeighbourhoodSteps(const NeighbourhoodSteps& value) { customSteps = value; }
    // Rate factors (0 to 1) by cell; the map must outlive runEtching.
    void setRateFactors(const std::unordered_map<Model::Automaton::CellIndex, float>* value) {
        factors = value;
    }
    std::uint64_t getStepsRun() const { return kernel.getStepsRun(); }
    std::uint64_t getAtomsRemoved() const { return kernel.getAtomsRemoved(); }

private:
    struct Removal : WetEtchRule {
        // A step may remove nothing while slow atoms gather their time.
        bool settlesWhenIdle = true;
        const std::unordered_map<Model::Automaton::CellIndex, float>* factors = nullptr;
        // By strip: how far each slow atom has come towards its removal.
        std::vector<std::unordered_map<Model::Automaton::AtomId, double>> credits;
        void start(Model::Automaton::SiLattice&, int strips) {
            credits.assign(std::size_t(strips), {});
        }
        bool removes(const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id,
                     int strip);
    };

    struct CalibratedRemoval : WetEtchRule {
        // A step may remove nothing while the atoms gather their time.
        static constexpr bool settlesWhenIdle = false;
        // 1 / steps of each neighbourhood.
        double once100, onceStep100, once110, once311, once111;
        const std::unordered_map<Model::Automaton::CellIndex, float>* factors = nullptr;
        std::vector<std::unordered_map<Model::Automaton::AtomId, double>> credits;
        explicit CalibratedRemoval(const NeighbourhoodSteps& steps);
        void start(Model::Automaton::SiLattice&, int strips) {
            credits.assign(std::size_t(strips), {});
        }
        bool removes(const Model::Automaton::SiLattice& lattice, Model::Automaton::AtomId id,
                     int strip);
    };

    WetEtchKernel kernel;
    std::optional<Etchant> etchant;
    std::optional<NeighbourhoodSteps> customSteps;
    const std::unordered_map<Model::Automaton::CellIndex, float>* factors = nullptr;
};

} // namespace Core::Operations
