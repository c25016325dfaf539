#include "Core/Operations/Kernels/strips.h"
#include "Core/Operations/Photolithography/photolithography.h"
#include "Core/Operations/Planarization/planarization.h"
#include "Core/Operations/Planarization/spincoating.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetching.h"
#include "Model/Automaton/cellarrayslock.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

#include <algorithm>

// The patterning steps on a 400 x 400 x 200 volume (32 M cells, two arrays of 768 MB): silicon
// below z = 100, 20 layers of resist above it, empty space on top. Planarization and pouring
// touch every cell once and are compared with a plain strip-parallel copy of the cell arrays;
// development and RIE touch every cell once to seed their fronts and then only the fronts.

namespace {

using Core::Operations::Photolithography;
using Core::Operations::Planarization;
using Core::Operations::SimpleReactiveIonEtching;
using Core::Operations::SpinCoating;
using Model::Automaton::TotalVolume;

constexpr unsigned SizeX = 400, SizeY = 400, SizeZ = 200;
constexpr unsigned SiliconTop = 100, ResistTop = 120;
constexpr int Resist = 5;

TotalVolume& volume() {
    static TotalVolume* shared =
        new TotalVolume(SizeX, SizeY, SizeZ, 1.f, 1.f, 1.f, Util::Vector3D(),
                        [](unsigned, unsigned, Model::Automaton::MaterialCells) {});
    return *shared;
}

double cells() {
    return double(SizeX) * SizeY * SizeZ;
}

// Back to silicon and resist with empty space above, through the engines under test (each is
// checked against the others in the tests).
void resetScene() {
    TotalVolume& v = volume();
    Planarization(v, 0, 0).runPlanarization();
    SpinCoating(v, bench::Silicon, SiliconTop).runSpinCoating();
    SpinCoating(v, Resist, ResistTop).runSpinCoating();
}

// Opaque 8 x 8 squares on a checkerboard over the whole volume.
std::vector<bool> checkerboard() {
    std::vector<bool> bits(std::size_t(SizeX) * SizeY);
    for (unsigned x = 0; x < SizeX; ++x)
        for (unsigned y = 0; y < SizeY; ++y)
            bits[std::size_t(x) * SizeY + y] = (x / 8 + y / 8) % 2 == 0;
    return bits;
}

void develop() {
    static const std::vector<bool> mask = checkerboard();
    Photolithography(volume(), Resist, {}, 0, 0, mask, SizeX, SizeY).runDevelopment();
}

void finish(benchmark::State& state) {
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(cells()));
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

// The worst case: a volume full of silicon, every cell of both arrays emptied (maximum 0).
void PlanarizeFullVolume(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        SpinCoating(volume(), bench::Silicon, SizeZ).runSpinCoating();
        state.ResumeTiming();
        Planarization(volume(), 0, 0).runPlanarization();
    }
    finish(state);
}

// The usual case: the resist scene cut flat at z = 110, above which most cells are empty.
void PlanarizeResistScene(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        resetScene();
        state.ResumeTiming();
        Planarization(volume(), 110, 0).runPlanarization();
    }
    finish(state);
}

// Reads every cell, fills the empty upper half.
void PourOverHalfFullVolume(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        Planarization(volume(), SiliconTop, 0).runPlanarization();
        SpinCoating(volume(), bench::Silicon, SiliconTop).runSpinCoating();
        state.ResumeTiming();
        SpinCoating(volume(), Resist, SizeZ).runSpinCoating();
    }
    finish(state);
}

void DevelopThroughCheckerboard(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        resetScene();
        state.ResumeTiming();
        develop();
    }
    finish(state);
}

// Silicon through the developed resist, `range(1)` layers deep.
void RieSiliconThroughResist(benchmark::State& state) {
    bench::setPoolThreads(int(state.range(0)));
    const int layers = int(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        resetScene();
        develop();
        state.ResumeTiming();
        SimpleReactiveIonEtching(volume(), bench::Silicon, layers,
                                 SimpleReactiveIonEtching::fromTop)
            .runEtching();
    }
    finish(state);
}

} // namespace

BENCHMARK(PlanarizeFullVolume)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PlanarizeResistScene)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PourOverHalfFullVolume)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DevelopThroughCheckerboard)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(RieSiliconThroughResist)
    ->Args({1, 0})
    ->Args({1, 10})
    ->Args({2, 0})
    ->Args({2, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
