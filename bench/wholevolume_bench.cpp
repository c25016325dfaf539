#include "Core/Operations/WholeVolume/filmextraction.h"
#include "Core/Operations/WholeVolume/gluesubstrate.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

// The trench scene glued onto a copy of itself, turned over: layout and cell copy, as the
// operation runs them, the glued volume built as the step builds it.
void GlueTrenchOnTrench(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    auto base = bench::trenchScene();
    auto top = bench::trenchScene();
    for (auto _ : state) {
        const auto layout = Core::Operations::GlueLayout::of(*base, *top);
        Core::Operations::GluePlacement placement;
        placement.sizeX = layout.minimumX;
        placement.sizeY = layout.minimumY;
        placement.sizeZ = layout.minimumZ + 1;
        placement.invert = true;
        const auto result = Core::Operations::GlueSubstrate(*base, *top, layout, placement).run();
        benchmark::DoNotOptimize(result.get());
    }
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

// The whole 5-cell oxide film of the trench scene (one connected piece), turned over.
void ExtractOxideFilm(benchmark::State& state) {
    auto source = bench::trenchScene();
    for (auto _ : state) {
        const auto result = Core::Operations::FilmExtraction(*source, bench::Oxide, true).run();
        benchmark::DoNotOptimize(result.get());
    }
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

} // namespace

BENCHMARK(GlueTrenchOnTrench)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExtractOxideFilm)->Unit(benchmark::kMillisecond)->UseRealTime();
