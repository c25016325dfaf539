#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"
#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"
#include "Core/Operations/SiOxidation/simplesioxidation.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

// The distance-like processes beside isotropic deposition, on the same trench scene: silicon
// walls are exposed in the trench, everything else lies under 5 cells of oxide.
namespace {

constexpr int NDoped = 14, Aluminium = 4;

void Doping5(benchmark::State& state) {
    bench::runOnTrench(state,
                       [](auto& v) { Core::Operations::SimpleDoping(v, NDoped, 5.f).runDoping(); });
}

void Implantation5Annealing3(benchmark::State& state) {
    bench::runOnTrench(state, [](auto& v) {
        Core::Operations::IonImplantation(v, NDoped, 5.f, 3.f).runImplantation();
    });
}

void PvdOnTop10Ratio05(benchmark::State& state) {
    bench::runOnTrench(state, [](auto& v) {
        Core::Operations::AnisotropicFilmDeposition(
            v, Aluminium, 10.f, 0.5f, Core::Operations::AnisotropicFilmDeposition::OnTop)
            .runDeposition();
    });
}

void Oxidation10(benchmark::State& state) {
    bench::runOnTrench(
        state, [](auto& v) { Core::Operations::SimpleSiOxidation(v, 1.0).oxidateTo(10.0); });
}

} // namespace

BENCHMARK(Doping5)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Implantation5Annealing3)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PvdOnTop10Ratio05)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Oxidation10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
