#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Metrology/materialtotals.h"
#include "Model/Metrology/measurementquery.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <tuple>

namespace {

using Model::Automaton::TotalVolume;

// The reference trench scaled to sx × sy × sz cells, built once per size (a 100 M cell volume
// takes a while to write and 4.8 GB to hold) and kept for every run of that size.
TotalVolume& trench(int sx, int sy, int sz) {
    static std::map<std::tuple<int, int, int>, std::unique_ptr<TotalVolume>> built;
    auto& volume = built[{sx, sy, sz}];
    if (!volume) {
        built.clear();
        auto& fresh = built[{sx, sy, sz}];
        fresh = std::make_unique<TotalVolume>(unsigned(sx), unsigned(sy), unsigned(sz), 1.f, 1.f,
                                              1.f, Util::Vector3D(), bench::trenchColumns(sx, sz));
        return *fresh;
    }
    return *volume;
}

// Volume and exposed area of every material, on range(3) pool threads: one read of every cell,
// so it runs at the speed the cells come out of memory.
void MaterialTotals(benchmark::State& state) {
    TotalVolume& volume = trench(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    bench::setPoolThreads(int(state.range(3)));
    const Model::Automaton::CellArraysLock locked(
        volume, Model::Automaton::CellArraysLock::Arrays::Current);
    const auto grid = Model::Automaton::CellGrid::of(volume, locked.materials());
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    for (auto _ : state) {
        const auto totals = Model::Metrology::materialTotals(grid, edges);
        benchmark::DoNotOptimize(totals.totals.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(volume.getCellCount()));
    state.SetBytesProcessed(
        std::int64_t(state.iterations()) *
        std::int64_t(volume.getCellCount() * sizeof(Model::Automaton::MaterialId)));
}
BENCHMARK(MaterialTotals)
    ->Args({200, 200, 100, 1})
    ->Args({200, 200, 100, 2})
    ->Args({500, 500, 400, 1})
    ->Args({500, 500, 400, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The stack of one column walks its height only, whatever the volume's size.
void StackAtPoint(benchmark::State& state) {
    TotalVolume& volume = trench(int(state.range(0)), int(state.range(1)), int(state.range(2)));
    QString problem;
    const auto query = Model::Metrology::MeasurementQuery::parse(
        QStringLiteral("stack@%1,7").arg(state.range(0) / 2), problem);
    for (auto _ : state) {
        const auto stack = Model::Metrology::measure(volume, *query);
        benchmark::DoNotOptimize(stack.layers.data());
    }
}
BENCHMARK(StackAtPoint)
    ->Args({200, 200, 100})
    ->Args({500, 500, 400})
    ->Unit(benchmark::kMicrosecond);

} // namespace
