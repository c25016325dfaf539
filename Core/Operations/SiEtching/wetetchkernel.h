#pragma once

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

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
// A Rule provides (WetEtchRule has empty defaults for all but the decision)
//   bool settlesWhenIdle;  // a step that removes nothing would repeat forever (may be static)
//   void take(SiLattice&, AtomId);          // take pass: every silicon atom, by its own strip
//   void start(SiLattice&, int strips);     // after the take pass, on the calling thread
//   bool removes(const SiLattice&, AtomId, int strip);  // evaluation pass: does the atom go?
//   void removed(SiLattice&, AtomId, int strip);        // settling pass: each atom that went
//   void finish(SiLattice&);                // after the last step, on the calling thread
struct WetEtchRule {
    void take(Model::Automaton::SiLattice&, Model::Automaton::AtomId) {}
    void start(Model::Automaton::SiLattice&, int) {}
    void removed(Model::Automaton::SiLattice&, Model::Automaton::AtomId, int) {}
    void finish(Model::Automaton::SiLattice&) {}
};

// What lies beyond the volume's four sides. Closed: nothing that etches, so the silicon at a
// side is held there as if masked. Periodic: the wafer continues, and a bond that leaves
// through a side ends on the atom where the lattice comes back in through the opposite side
// (shifted by the whole number of lattice rows that fits the volume's width), so an unmasked
// etch stays flat up to the sides. The top and the bottom stay closed either way.
enum class WetEtchSides { Closed, Periodic };

// The faces of the wafer the etchant reaches. Top: every empty cell of the volume is etchant,
// and below the volume lies the chuck. Bottom: the front is held dry (a wafer holder), so the
// etchant is what lies below the volume and the empty cells joined to the bottom face; the
// silicon facing other empty cells is not etched from there, until the etch reaches it from
// the wet side. Both: every empty cell and what lies below the volume.
enum class EtchSide { Top, Bottom, Both };

// "top", "bottom", "both", as records and scripts write them.
QString etchSideName(EtchSide side);
// The side of a name; false for any other text.
bool etchSideFromName(const QString& name, EtchSide& side);

class WetEtchKernel {
public:
    // `depth` is a length in the volume's scene units, etched four atomic layers per lattice
    // constant of the volume's lattice.
    WetEtchKernel(Model::Automaton::TotalVolume& volume, double depth,
                  const QLoggingCategory& category, WetEtchSides sides = WetEtchSides::Closed);
    ~WetEtchKernel();
    WetEtchKernel(const WetEtchKernel&) = delete;
    WetEtchKernel& operator=(const WetEtchKernel&) = delete;

    // Four atomic layers per lattice constant along [001], for a depth in lattice constants;
    // no step for a negative depth.
    static std::uint64_t stepCount(double depth);

    // One step of `progress` per etch step; a cancel stops the etch at its next pass with
    // Util::RunCancelled, leaving cells and lattice half-way for the caller to restore.
    template <class Rule>
    void run(Rule& rule, Util::ProgressReporter& progress = Util::ProgressReporter::none());

    std::uint64_t getStepsRun() const { return stepsRun; }
    std::uint64_t getAtomsRemoved() const { return atomsRemoved; }

    // Before run(); the top by default.
    void setEtchSide(EtchSide value) { etchSide = value; }
    EtchSide getEtchSide() const { return etchSide; }
    // Before run(): how many steps a rule takes to remove one (100) layer; 1 by default.
    void setStepsPerLayer(unsigned value) { stepsPerLayer = std::max(1u, value); }

private:
    using AtomId = Model::Automaton::AtomId;
    using CellIndex = Model::Automaton::CellIndex;

    struct BoundaryRequest {
        AtomId atom;
        unsigned slot;
        Util::Vector3D position;
    };
    // A bond through a side of the volume, ending on `partner` across the opposite side.
    struct SideLink {
        AtomId atom;
        unsigned slot;
        AtomId partner;
    };

    // What one strip owns and exchanges. Only its own task writes it during a pass; the
    // neighbours read its hand-over lists after the barrier.
    struct StripWork {
        unsigned firstColumn = 0;
        unsigned endColumn = 0;
        std::vector<AtomId> surface;
        std::vector<AtomId> kept;
        std::vector<AtomId> removed;
        std::vector<CellIndex> touched;
        // By receiving strip.
        std::vector<std::vector<AtomId>> handOver;
        std::vector<BoundaryRequest> boundaryRequests;
        std::vector<SideLink> sideLinks;
    };

    bool begin();
    void finish();
    template <class Rule> void takeAtoms(StripWork& work, Rule& rule);
    void findSurface(StripWork& work);
    // Whether the etchant fills an empty cell of the volume.
    bool wets(CellIndex c) const { return dry.empty() || !dry[c]; }
    bool belowVolume(const Util::Vector3D& p) const;
    void findDryCells();
    void wetBelow();
    void treatMissingNeighbors(AtomId id, StripWork& work);
    void createBoundaryAtoms();
    void findSideLinks(StripWork& work);
    void linkSides();
    void unlinkSides();
    template <class Rule> void evaluate(int strip, Rule& rule);
    void removeAtom(int strip, AtomId id);
    void settle(int strip);
    void logSurfaceSizes() const;

    Model::Automaton::TotalVolume& volume;
    double depth;
    const QLoggingCategory& category;
    WetEtchSides sides;
    EtchSide etchSide = EtchSide::Top;
    unsigned stepsPerLayer = 1;
    // Per cell, for an etch from the bottom: 1 for the empty cells the etchant does not reach.
    // Empty for the other sides, where every empty cell is etchant.
    std::vector<std::uint8_t> dry;
    // The atoms below the volume made etchant for this run, given back Fixed when it ends.
    std::vector<AtomId> wetBelowAtoms;
    // The bonds linked through the sides for this run, undone when it ends.
    std::vector<SideLink> sideLinks;
    // (partner, atom) of every side link, by partner: who else to tell when a partner goes,
    // as its own bonds do not lead back through the side.
    std::vector<std::pair<AtomId, AtomId>> sideWatchers;
    std::shared_ptr<Model::Automaton::SiLattice> lattice;
    // Held from begin() to finish(); released with the kernel on any other way out.
    std::optional<Model::Automaton::CellArraysLock> locked;
    Model::Automaton::MaterialCells materials;
    // The lattice's atom counts; a removal counts down at once, as only the strip that owns a
    // cell removes its atoms and nobody reads another strip's counts during a step.
    std::int32_t* atomCounts = nullptr;
    std::unique_ptr<StripPartition> partition;
    std::vector<int> stripOfColumn;
    std::vector<StripWork> strips;
    std::uint64_t stepsRun = 0;
    std::uint64_t atomsRemoved = 0;
};

template <class Rule> void WetEtchKernel::takeAtoms(StripWork& work, Rule& rule) {
    using Model::Automaton::SiAtom;
    Model::Automaton::SiLattice& l = *lattice;
    // Every atom of the strip takes the state of its cell: atoms removed by an earlier etch
    // come back while their cell is still silicon, and cells changed since the lattice was
    // built are seen as they are now.
    l.forEachCrystalAtom(work.firstColumn, work.endColumn, [&](AtomId id, CellIndex c) {
        const std::uint32_t material = materials[std::ptrdiff_t(c)];
        if (material == 1) {
            if (l.state(id) != SiAtom::Silicon) {
                l.setState(id, SiAtom::Silicon);
                ++atomCounts[c];
            }
            rule.take(l, id);
        } else {
            l.setState(id, material == 0 ? SiAtom::Empty : SiAtom::Fixed);
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
    const Model::Automaton::SiLattice& l = *lattice;
    for (const AtomId id : work.surface) {
        if (l.state(id) != SiAtom::Silicon)
            continue;
        if (rule.removes(l, id, strip))
            removeAtom(strip, id);
        else
            work.kept.push_back(id);
    }
}

template <class Rule> void WetEtchKernel::run(Rule& rule, Util::ProgressReporter& progress) {
    qCDebug(category) << "Running etching";
    if (!begin())
        return;
    partition->watch(progress);
    // The depth is a length in scene units; the lattice counts it in lattice constants.
    const std::uint64_t layers = stepCount(depth / lattice->getLatticeConstant());
    const std::uint64_t steps =
        layers > UINT64_MAX / stepsPerLayer ? UINT64_MAX : layers * stepsPerLayer;
    progress.start(steps);

    if (sides == WetEtchSides::Periodic) {
        partition->runPass([&](const Strip& s) { findSideLinks(strips[std::size_t(s.index)]); });
        linkSides();
    }
    partition->runPass([&](const Strip& s) { takeAtoms(strips[std::size_t(s.index)], rule); });
    if (etchSide != EtchSide::Top)
        wetBelow();
    rule.start(*lattice, partition->count());
    partition->runPass([&](const Strip& s) { findSurface(strips[std::size_t(s.index)]); });
    createBoundaryAtoms();
    logSurfaceSizes();

    for (std::uint64_t step = 0; step < steps; ++step) {
        const std::uint64_t removedBefore = atomsRemoved;
        partition->runPass([&](const Strip& s) { evaluate(s.index, rule); });
        for (const StripWork& work : strips)
            atomsRemoved += work.removed.size();
        partition->runPass([&](const Strip& s) {
            settle(s.index);
            for (const AtomId id : strips[std::size_t(s.index)].removed)
                rule.removed(*lattice, id, s.index);
        });
        ++stepsRun;
        progress.advance();
        logSurfaceSizes();

        const bool noSurface = std::all_of(strips.begin(), strips.end(),
                                           [](const StripWork& w) { return w.surface.empty(); });
        // Nothing left to etch, or (for a rule without memory) a step that changed nothing
        // and would therefore repeat unchanged: the remaining steps cannot alter a cell.
        if (noSurface || (rule.settlesWhenIdle && atomsRemoved == removedBefore)) {
            qCDebug(category) << "Etching settled after" << stepsRun << "of" << steps << "steps";
            break;
        }
    }
    rule.finish(*lattice);
    finish();
}

} // namespace Core::Operations
