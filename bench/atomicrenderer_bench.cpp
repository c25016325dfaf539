#include "Model/Automaton/atomicscene.h"
#include "Model/Automaton/cutplaneset.h"
#include "Model/Automaton/silattice.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

using Model::Automaton::AtomicScene;

// What a painter rebuild pays for the atoms once the lattice of the reference trench scene
// exists: one walk over its cells, surface atoms only (the default) or every atom, split over
// the builder's tasks.
void AtomicSceneBuild(benchmark::State& state) {
    static const auto volume = [] {
        auto scene = bench::trenchScene();
        scene->rebuildSiLattice();
        return scene;
    }();
    const auto lattice = volume->getSiLattice();
    AtomicScene::Switches switches;
    switches.atoms = true;
    switches.links = state.range(1) != 0;
    switches.surfaceAtomsOnly = state.range(1) != 0;
    const Model::Automaton::CutPlaneSet planes;
    AtomicScene scene;
    for (auto _ : state)
        scene.buildAtoms(*volume, lattice.get(), switches, planes, int(state.range(0)));
    state.counters["lattice_atoms"] = double(lattice->latticeAtomCount());
    state.counters["drawn_atoms"] = double(scene.getAtoms().size());
    state.counters["bonds"] = double(scene.getLinks().size() / 6);
    state.counters["upload_MiB"] = double(scene.getAtoms().size() * sizeof(AtomicScene::Instance) +
                                          scene.getLinks().size() * sizeof(float)) /
                                   (1024.0 * 1024.0);
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

} // namespace

// Arguments: tasks, surface atoms only with their bonds (1) or every atom without bonds (0).
BENCHMARK(AtomicSceneBuild)
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
