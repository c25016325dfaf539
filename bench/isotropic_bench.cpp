#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int Film = 7;

using bench::runOnTrench;

void IsotropicDeposition10(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Core::Operations::IsotropicFilmDeposition(v, Film, 10.f).runDeposition();
    });
}

void IsotropicEtchOxide10(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Core::Operations::IsotropicFilmEtching(v, bench::Oxide, 10.f).runEtching();
    });
}

void MooreDeposition10(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Core::Operations::MooreNeighborhoodDeposition(v, Film, 10).runDeposition();
    });
}

void ElectroplatingOnOxide10(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Core::Operations::Electrodeposition(v, Film, bench::Oxide, 10.f).runDeposition();
    });
}

} // namespace

BENCHMARK(IsotropicDeposition10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(IsotropicEtchOxide10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MooreDeposition10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ElectroplatingOnOxide10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
