#include "Model/Automaton/totalvolume.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

// A volume built from its material list: both cell arrays allocated and written once, which on
// a fresh allocation means first-touching every page of them.
void TotalVolumeFromMaterialList(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    static const std::vector<int> materials = bench::trenchMaterials();
    for (auto _ : state) {
        Model::Automaton::TotalVolume volume(200, 200, 100, 1.f, 1.f, 1.f, Util::Vector3D(),
                                             materials);
        benchmark::DoNotOptimize(volume.getCellCount());
    }
    const double bytes = double(sizeof(Model::Automaton::MaterialId)) * double(materials.size());
    state.counters["cells_per_s"] = benchmark::Counter(
        double(materials.size()) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["GB_per_s"] =
        benchmark::Counter(bytes * double(state.iterations()) / 1e9, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(TotalVolumeFromMaterialList)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
