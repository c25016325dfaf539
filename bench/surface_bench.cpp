#include "Model/Automaton/marchingcubesurface.h"
#include "Model/Automaton/surfaceoctree.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

using Model::Automaton::CellGrid;
using Model::Automaton::CutWindow;
using Model::Automaton::MarchingCubeSurface;
using Model::Automaton::MaterialPalette;
using Model::Automaton::SurfaceOctree;
using Model::Automaton::TotalVolume;
using Model::Automaton::TotalVolumePainter;

CutWindow wholeVolume(const TotalVolume& volume) {
    CutWindow window;
    window.max = {int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ())};
    return window;
}

CellGrid gridOf(TotalVolume& volume) {
    CellGrid grid;
    grid.cells = Model::Automaton::MaterialCells(volume.lockMaterials());
    volume.releaseMaterials(); // nothing else touches the scene while the benchmark runs
    grid.sizeX = int(volume.getSizeX());
    grid.sizeY = int(volume.getSizeY());
    grid.sizeZ = int(volume.getSizeZ());
    return grid;
}

// What an operation pays after changing cells with the default algorithm: colours from the
// registry, the lock, and the direct cubic faces split over the builder's own pool.
void DirectCubicRebuild(benchmark::State& state) {
    auto volume = bench::trenchScene();
    TotalVolumePainter& painter = volume->getPainter();
    painter.setBuildThreads(int(state.range(0)));
    for (auto _ : state)
        painter.rebuild();
    state.counters["opaque_faces"] = double(painter.getOpaqueFaces().size());
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

void MarchingCubesBuild(benchmark::State& state) {
    auto volume = bench::trenchScene();
    const CellGrid grid = gridOf(*volume);
    MarchingCubeSurface surface;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const double before = bench::processCpuSeconds();
        surface.build(grid, wholeVolume(*volume), int(state.range(0)));
        cpuSeconds += bench::processCpuSeconds() - before;
    }
    state.counters["triangles"] = double(surface.getTriangleCount());
    state.counters["all_threads_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

void OctreeBuild(benchmark::State& state) {
    auto volume = bench::trenchScene();
    const CellGrid grid = gridOf(*volume);
    const MaterialPalette palette = MaterialPalette::fromRegistry();
    SurfaceOctree octree;
    for (auto _ : state)
        octree.build(grid, wholeVolume(*volume), palette);
    state.counters["faces"] =
        double(octree.getOpaqueFaces().size() + octree.getTransparentFaces().size());
    state.counters["nodes"] = double(octree.getNodes().size());
    state.counters["peak_MiB"] = bench::peakMemoryMiB();
}

} // namespace

BENCHMARK(DirectCubicRebuild)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(MarchingCubesBuild)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(OctreeBuild)->Unit(benchmark::kMillisecond)->UseRealTime();
