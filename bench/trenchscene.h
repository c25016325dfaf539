#pragma once

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "processusage.h"

#include <QThreadPool>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace bench {

constexpr int Silicon = 1;
constexpr int Oxide = 3; // "Thermal Si02" in the built-in material table

// The reference scene: 200 x 200 x 100 cells, silicon below z = 60 with a 40-cell-wide trench
// 30 cells deep along y, and a 5-cell oxide film on top of everything solid.
inline Model::Automaton::TotalVolume::ColumnContents trenchColumns(int sx = 200, int sz = 100) {
    const unsigned trenchBegin = unsigned(sx / 2 - 20), trenchEnd = unsigned(sx / 2 + 20);
    return [=](unsigned x, unsigned, Model::Automaton::MaterialCells column) {
        const int siliconTop = std::min(x >= trenchBegin && x < trenchEnd ? 30 : 60, sz);
        column.fill(0, siliconTop, Silicon);
        column.fill(siliconTop, std::min(siliconTop + 5, sz), Oxide);
    };
}

// The same cells in cell order, for benchmarks that put them back between iterations.
inline std::vector<int> trenchMaterials(int sx = 200, int sy = 200, int sz = 100) {
    std::vector<int> m(std::size_t(sx) * sy * sz, 0);
    const int trenchBegin = sx / 2 - 20, trenchEnd = sx / 2 + 20;
    for (int x = 0; x < sx; ++x) {
        const bool inTrench = x >= trenchBegin && x < trenchEnd;
        const int siliconTop = inTrench ? 30 : 60;
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z) {
                int material = 0;
                if (z < siliconTop)
                    material = Silicon;
                else if (z < siliconTop + 5)
                    material = Oxide;
                m[std::size_t(x) * sy * sz + std::size_t(y) * sz + z] = material;
            }
    }
    return m;
}

inline std::unique_ptr<Model::Automaton::TotalVolume> trenchScene() {
    return std::make_unique<Model::Automaton::TotalVolume>(200, 200, 100, 1.f, 1.f, 1.f,
                                                           Util::Vector3D(), trenchColumns());
}

// Puts the volume's cells back to the given materials (both arrays) between iterations.
inline void restore(Model::Automaton::TotalVolume& volume, const std::vector<int>& materials) {
    const Model::Automaton::CellArraysLock locked(volume);
    const Model::Automaton::MaterialCells cells = locked.materials();
    for (std::size_t i = 0; i < materials.size(); ++i)
        cells.writeFresh(std::ptrdiff_t(i), Model::Automaton::MaterialId(materials[i]));
}

inline double peakMemoryMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

inline void setPoolThreads(int threads) {
    QThreadPool::globalInstance()->setMaxThreadCount(threads);
}

// Times `run` on a fresh trench scene per iteration, with the pool thread count given as the
// benchmark's argument; the scene is rebuilt outside the timing. The CPU time of all threads
// per run is reported too: on a machine shared with other work, it shows how much a second
// thread costs when the wall clock cannot.
template <class Run> void runOnTrench(benchmark::State& state, Run&& run) {
    setPoolThreads(int(state.range(0)));
    static const std::vector<int> materials = trenchMaterials();
    auto volume = trenchScene();
    double cpuSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        restore(*volume, materials);
        state.ResumeTiming();
        const double before = processCpuSeconds();
        run(*volume);
        cpuSeconds += processCpuSeconds() - before;
    }
    state.counters["peak_MiB"] = peakMemoryMiB();
    state.counters["all_threads_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
}

} // namespace bench
