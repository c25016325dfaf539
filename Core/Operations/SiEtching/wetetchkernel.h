#pragma once

#include "Core/Operations/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/voxel.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Core::Operations {

// The machinery both silicon wet etches share: the run over the volume's silicon lattice on x
// strips, the surface lists, the hand-over of newly exposed atoms between strips, the boundary
// atoms in place of missing neighbours and the bookkeeping of removed atoms in the cells. The
// engines differ only in the rule that decides whether a surface atom goes in a step.
//
// Every step is two passes over the strips: an evaluation pass that decides on the atom states
// at the start of the step, and a settling pass, after the barrier, that applies the removals
// and merges the atoms handed over. No strip ever sees another strip's removals early, so any
// thread count gives the single-strip result.
//
// A Rule provides
//   static constexpr bool settlesWhenIdle;  // a step that removes nothing would repeat forever
//   void take(SiAtom&);                     // for every silicon atom at the start of a run
//   bool removes(const SiLattice&, AtomId, SiAtom&);  // in a step; may change the occupancy
class WetEtchKernel {
public:
    WetEtchKernel(Model::Automaton::TotalVolume& volume, double depth,
                  const QLoggingCategory& category);
    WetEtchKernel(const WetEtchKernel&) = delete;
    WetEtchKernel& operator=(const WetEtchKernel&) = delete;

    // Four atomic layers per lattice constant along [001]; no step for a negative depth.
    static std::uint64_t stepCount(double depth);

    template <class Rule> void run(Rule& rule);

    std::uint64_t getStepsRun() const { return stepsRun; }
    std::uint64_t getAtomsRemoved() const { return atomsRemoved; }

private:
    using AtomId = Model::Automaton::AtomId;
    using CellIndex = Model::Automaton::CellIndex;

    struct BoundaryRequest {
        AtomId atom;
        unsigned slot;
        Util::Vector3D position;
    };

    // What one strip owns and exchanges. Only its own task writes it during a pass; the
    // neighbours read its hand-over lists after the barrier.
    struct StripWork {
        CellIndex firstIndex = 0;
        CellIndex endIndex = 0;
        std::vector<std::pair<std::size_t, std::size_t>> cellRanges;
        std::vector<AtomId> surface;
        std::vector<AtomId> kept;
        std::vector<AtomId> removed;
        std::vector<CellIndex> touched;
        // By receiving strip.
        std::vector<std::vector<AtomId>> handOver;
        std::vector<BoundaryRequest> boundaryRequests;
    };

    bool begin();
    void finish();
    bool owns(const StripWork& work, std::int32_t cellIndex) const {
        return cellIndex >= 0 && CellIndex(cellIndex) >= work.firstIndex &&
               CellIndex(cellIndex) < work.endIndex;
    }
    template <class Function> void forEachOwnAtom(const StripWork& work, Function&& function);
    template <class Rule> void takeAtoms(StripWork& work, Rule& rule);
    void findSurface(StripWork& work);
    void treatMissingNeighbors(AtomId id, StripWork& work);
    void createBoundaryAtoms();
    template <class Rule> void evaluate(int strip, Rule& rule);
    void removeAtom(int strip, AtomId id);
    void settle(int strip);
    void logSurfaceSizes() const;

    Model::Automaton::TotalVolume& volume;
    double depth;
    const QLoggingCategory& category;
    std::shared_ptr<Model::Automaton::SiLattice> lattice;
    // Held from begin() to finish(); released with the kernel on any other way out.
    std::optional<Model::Automaton::CellArraysLock> locked;
    Model::Automaton::Voxel* voxels = nullptr;
    Model::Automaton::Voxel* nextVoxels = nullptr;
    std::unique_ptr<StripPartition> partition;
    std::vector<int> stripOfColumn;
    std::vector<StripWork> strips;
    std::uint64_t stepsRun = 0;
    std::uint64_t atomsRemoved = 0;
};

template <class Function>
void WetEtchKernel::forEachOwnAtom(const StripWork& work, Function&& function) {
    Model::Automaton::SiLattice& l = *lattice;
    for (const auto& range : work.cellRanges) {
        for (std::size_t ordinal = range.first; ordinal < range.second; ++ordinal) {
            for (unsigned i = 0; i < 8; ++i) {
                const AtomId id = l.atomOfCell(ordinal, i);
                Model::Automaton::SiAtom& atom = l.atom(id);
                if (owns(work, atom.cellIndex))
                    function(id, atom);
            }
        }
    }
}

template <class Rule> void WetEtchKernel::takeAtoms(StripWork& work, Rule& rule) {
    using Model::Automaton::SiAtom;
    // Every atom of the strip takes the state of its cell: atoms removed by an earlier etch
    // come back while their cell is still silicon, and cells changed since the lattice was
    // built are seen as they are now.
    forEachOwnAtom(work, [&](AtomId, SiAtom& atom) {
        const CellIndex c = CellIndex(atom.cellIndex);
        const std::uint32_t material = voxels[c].material;
        if (material == 1) {
            if (atom.state != SiAtom::Silicon) {
                atom.state = SiAtom::Silicon;
                const std::int32_t count = voxels[c].atomCount + 1;
                voxels[c].atomCount = count;
                nextVoxels[c].atomCount = count;
            }
            rule.take(atom);
        } else {
            atom.state = material == 0 ? SiAtom::Empty : SiAtom::Fixed;
        }
    });
}

template <class Rule> void WetEtchKernel::evaluate(int strip, Rule& rule) {
    using Model::Automaton::SiAtom;
    StripWork& work = strips[std::size_t(strip)];
    work.kept.clear();
    work.removed.clear();
    work.touched.clear();
    for (auto& list : work.handOver)
        list.clear();
    Model::Automaton::SiLattice& l = *lattice;
    for (const AtomId id : work.surface) {
        SiAtom& atom = l.atom(id);
        if (atom.state != SiAtom::Silicon)
            continue;
        if (rule.removes(l, id, atom))
            removeAtom(strip, id);
        else
            work.kept.push_back(id);
    }
}

template <class Rule> void WetEtchKernel::run(Rule& rule) {
    qCDebug(category) << "Running etching";
    if (!begin())
        return;

    partition->runPass([&](const Strip& s) { takeAtoms(strips[std::size_t(s.index)], rule); });
    partition->runPass([&](const Strip& s) { findSurface(strips[std::size_t(s.index)]); });
    createBoundaryAtoms();
    logSurfaceSizes();

    const std::uint64_t steps = stepCount(depth);
    for (std::uint64_t step = 0; step < steps; ++step) {
        const std::uint64_t removedBefore = atomsRemoved;
        partition->runPass([&](const Strip& s) { evaluate(s.index, rule); });
        for (const StripWork& work : strips)
            atomsRemoved += work.removed.size();
        partition->runPass([&](const Strip& s) { settle(s.index); });
        ++stepsRun;
        logSurfaceSizes();

        const bool noSurface = std::all_of(strips.begin(), strips.end(),
                                           [](const StripWork& w) { return w.surface.empty(); });
        // Nothing left to etch, or (for a rule without memory) a step that changed nothing
        // and would therefore repeat unchanged: the remaining steps cannot alter a cell.
        if (noSurface || (Rule::settlesWhenIdle && atomsRemoved == removedBefore)) {
            qCDebug(category) << "Etching settled after" << stepsRun << "of" << steps << "steps";
            break;
        }
    }
    finish();
}

} // namespace Core::Operations
