#include "Core/Operations/Flux/fluxsurfaceadvance.h"
#include "Model/Transport/fluxengine.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

using Model::Transport::FluxEngine;
using Model::Transport::FluxSettings;

// The trench scene's flux map: Lambertian, sticking 1 (every ray one segment, as a peer tracer
// traces it), closed sides. Reports the ray segments traced per second of the whole map, the
// surface listing included.
void FluxMap(benchmark::State& state, int raysPerCell) {
    bench::setPoolThreads(int(state.range(0)));
    auto volume = bench::trenchScene();
    FluxSettings settings;
    settings.raysPerCell = raysPerCell;
    std::uint64_t rays = 0;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double before = bench::processCpuSeconds();
        rays += FluxEngine::compute(*volume, settings).tracedRays;
        cpuSeconds += bench::processCpuSeconds() - before;
    }
    state.counters["rays_per_second"] =
        benchmark::Counter(double(rays), benchmark::Counter::kIsRate);
    state.counters["rays"] = benchmark::Counter(double(rays), benchmark::Counter::kAvgIterations);
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
    state.counters["all_threads_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

void FluxRays64(benchmark::State& state) {
    FluxMap(state, 64);
}
void FluxMap256(benchmark::State& state) {
    FluxMap(state, 256);
}

// Three cells of a neutral-dominated etch into the trench scene's oxide-capped silicon.
void FluxEtching3(benchmark::State& state) {
    bench::runOnTrench(state, [](auto& v) {
        Core::Operations::FluxStepRecipe recipe;
        recipe.material = bench::Oxide;
        recipe.rate = 1.0;
        recipe.time = 3.0;
        recipe.ionShare = 0.3;
        recipe.raysPerCell = 16;
        Core::Operations::FluxSurfaceAdvance(v, recipe).run();
    });
}

} // namespace

BENCHMARK(FluxRays64)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(FluxMap256)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(FluxEtching3)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
