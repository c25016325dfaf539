#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

constexpr int Film = 7;

using bench::runOnTrench;

void IsotropicDeposition10(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Core::Operations::IsotropicFilmDeposition(v, Film, 10.f).runDeposition();
    });
}

// As the window watches a step: every report goes through atomics another thread reads.
class Watching : public Util::ProgressReporter {
public:
    void start(std::uint64_t steps, const QString&) override { total = steps; }
    void advance(std::uint64_t steps) override { done += steps; }
    bool wasCancelled() const override { return cancelled.load(); }

private:
    std::atomic<std::uint64_t> total{0};
    std::atomic<std::uint64_t> done{0};
    std::atomic<bool> cancelled{false};
};

// The same run with a watcher attached: the cost of progress and cancel checks.
void IsotropicDeposition10Watched(benchmark::State& state) {
    runOnTrench(state, [](auto& v) {
        Watching watching;
        Core::Operations::IsotropicFilmDeposition(v, Film, 10.f).runDeposition(watching);
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
BENCHMARK(IsotropicDeposition10Watched)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(IsotropicEtchOxide10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MooreDeposition10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ElectroplatingOnOxide10)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
