#include "Core/Operations/Flux/boschdrie.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

// The comb of examples/drie-comb.plst at its own size: 84 x 8 x 60 cells of 1 µm, silicon
// below z = 50 under two cells of oxide with gaps 6, 12 and 24 cells wide.
std::unique_ptr<Model::Automaton::TotalVolume> comb() {
    return std::make_unique<Model::Automaton::TotalVolume>(
        84u, 8u, 60u, 1.f, 1.f, 1.f, Util::Vector3D(),
        [](unsigned x, unsigned, Model::Automaton::MaterialCells column) {
            const bool gap = (x >= 10 && x < 16) || (x >= 26 && x < 38) || (x >= 48 && x < 72);
            for (int z = 0; z < 52; ++z)
                if (z < 50 || !gap)
                    column.set(
                        z, Model::Automaton::MaterialId(z < 50 ? bench::Silicon : bench::Oxide));
        });
}

template <class Run> void runOnComb(benchmark::State& state, Run&& run) {
    bench::setPoolThreads(int(state.range(0)));
    double cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto volume = comb();
        state.ResumeTiming();
        const double before = bench::processCpuSeconds();
        run(*volume);
        cpuSeconds += bench::processCpuSeconds() - before;
    }
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
    state.counters["all_threads_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

// The example's step: 20 cycles of 2 µm under a 1 µm film, isotropy 0.4.
void BoschDrie20(benchmark::State& state) {
    runOnComb(state, [](auto& v) {
        Core::Operations::BoschRecipe recipe;
        recipe.cycles = 20;
        recipe.etchDepthPerCycle = 2.0;
        recipe.passivationThickness = 1.0;
        recipe.isotropy = 0.4;
        recipe.periodicSides = true;
        Core::Operations::BoschDrie::run(v, recipe);
    });
}

// The same 40 µm by Simple RIE, straight down through the same mask.
void SimpleRie40(benchmark::State& state) {
    runOnComb(state, [](auto& v) {
        Core::Operations::SimpleReactiveIonEtching(v, bench::Silicon, 40, 1).runEtching();
    });
}

} // namespace

BENCHMARK(BoschDrie20)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(SimpleRie40)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
