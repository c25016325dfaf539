#include "Model/Automaton/totalvolume.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

// A volume built from the description of its columns: the cells allocated and written once,
// which on a fresh allocation means first-touching every page of them.
void TotalVolumeFromColumns(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    const auto columns = bench::trenchColumns();
    for (auto _ : state) {
        Model::Automaton::TotalVolume volume(200, 200, 100, 1.f, 1.f, 1.f, Util::Vector3D(),
                                             columns);
        benchmark::DoNotOptimize(volume.getCellCount());
    }
    const double cells = 200.0 * 200.0 * 100.0;
    const double bytes = double(sizeof(Model::Automaton::MaterialId)) * cells;
    state.counters["cells_per_s"] =
        benchmark::Counter(cells * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["GB_per_s"] =
        benchmark::Counter(bytes * double(state.iterations()) / 1e9, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(TotalVolumeFromColumns)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
