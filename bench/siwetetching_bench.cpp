#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/continuoswetetching.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"

#include <QFile>
#include <QLoggingCategory>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int sizeX = 100, sizeY = 100, sizeZ = 80;
constexpr int siliconTop = 60;
constexpr int openingBegin = 30, openingEnd = 70;

// 100 x 100 x 80 cells: silicon below z = 60, a one-cell oxide mask on top of it with a
// 40 x 40 opening in the middle.
std::unique_ptr<Model::Automaton::TotalVolume> maskedWafer() {
    return std::make_unique<Model::Automaton::TotalVolume>(
        sizeX, sizeY, sizeZ, 1.f, 1.f, 1.f, Util::Vector3D(),
        [](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
            const bool open = int(x) >= openingBegin && int(x) < openingEnd &&
                              int(y) >= openingBegin && int(y) < openingEnd;
            column.fill(0, siliconTop, 1);
            if (!open)
                column.set(siliconTop, 2);
        });
}

void quiet() {
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

// Resident and peak resident set of this process, in bytes (Linux).
std::uint64_t statusBytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    // Files in /proc report no size, so read them whole rather than line by line.
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts[1].toULongLong() * 1024ull : 0;
        }
    }
    return 0;
}

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void BM_SiLatticeBuild(benchmark::State& state) {
    quiet();
    QThreadPool::globalInstance()->setMaxThreadCount(int(state.range(0)));
    auto volume = maskedWafer();
    std::uint64_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        volume->setSiLattice(nullptr);
        resetPeak();
        const std::uint64_t before = statusBytes("VmRSS:");
        state.ResumeTiming();
        volume->rebuildSiLattice();
        state.PauseTiming();
        const std::uint64_t highWater = statusBytes("VmHWM:");
        peak = std::max(peak, highWater > before ? highWater - before : 0);
        state.ResumeTiming();
    }
    const auto lattice = volume->getSiLattice();
    // Candidates: the sites of every unit cell over the volume's footprint, the measure of the
    // work a build faces whatever it keeps.
    const double candidates =
        8.0 * lattice->getCellsX() * double(lattice->getCellsY()) * lattice->getCellsZ();
    state.counters["candidate_sites"] = candidates;
    state.counters["candidate_sites_per_s"] =
        benchmark::Counter(candidates * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["sites"] = double(lattice->latticeAtomCount());
    state.counters["bytes_per_site"] =
        double(lattice->memoryBytes()) / double(lattice->latticeAtomCount());
    state.counters["peak_bytes_per_site"] = double(peak) / double(lattice->latticeAtomCount());
    state.counters["peak_MiB"] = double(peak) / (1024.0 * 1024.0);
}

template <class Engine> void runEtch(benchmark::State& state) {
    quiet();
    QThreadPool::globalInstance()->setMaxThreadCount(int(state.range(0)));
    std::uint64_t removed = 0, steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto volume = maskedWafer();
        volume->rebuildSiLattice();
        state.ResumeTiming();
        Engine engine(*volume, 10.0);
        engine.runEtching();
        state.PauseTiming();
        removed = engine.getAtomsRemoved();
        steps = engine.getStepsRun();
        volume.reset();
        state.ResumeTiming();
    }
    state.counters["atoms_removed"] = double(removed);
    state.counters["steps"] = double(steps);
}

void BM_AtomisticWetEtch10(benchmark::State& state) {
    runEtch<Core::Operations::AtomicStructureSimpleSiWetEtch>(state);
}

void BM_ContinuousWetEtch10(benchmark::State& state) {
    runEtch<Core::Operations::ContinuosWetEtching>(state);
}

} // namespace

// The build splits over the pool's strips; the argument is the pool size.
BENCHMARK(BM_SiLatticeBuild)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();
BENCHMARK(BM_AtomisticWetEtch10)
    ->Arg(1)
    ->Arg(2)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ContinuousWetEtch10)
    ->Arg(1)
    ->Arg(2)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
