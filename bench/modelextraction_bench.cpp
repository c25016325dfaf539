#include "Model/Automaton/totalvolume.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"
#include "trenchscene.h"

#include <benchmark/benchmark.h>

namespace {

using namespace Model::ModelExtraction;

constexpr int Aluminium = 4;

// 200 x 200 x 100 cells: a silicon substrate (z < 40) carrying n x n cantilevers, each an
// aluminium plate (z 50 to 53) on a silicon anchor (z 40 to 49) reaching out over empty space.
// Four per row give a few hundred boxes; more give more cuts and boxes on every axis.
std::unique_ptr<Model::Automaton::TotalVolume> cantileverField(int perRow) {
    const int pitch = 200 / perRow;
    return std::make_unique<Model::Automaton::TotalVolume>(
        200, 200, 100, 1.f, 1.f, 1.f, Util::Vector3D(),
        [pitch](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
            const int u = int(x) % pitch, v = int(y) % pitch;
            const bool inPlate = u < pitch * 3 / 4 && v >= pitch / 4 && v < pitch * 3 / 4;
            column.fill(0, 40, bench::Silicon);
            if (inPlate && u < pitch / 4)
                column.fill(40, 50, bench::Silicon);
            if (inPlate)
                column.fill(50, 54, Aluminium);
        });
}

// Steps one and two of the extraction: the cut grid and its boxes with their links, then the
// cantilever rule.
void CantileverExtraction(benchmark::State& state) {
    auto volume = cantileverField(int(state.range(0)));
    std::size_t boxes = 0, beams = 0;
    for (auto _ : state) {
        const auto model = CutGridDecomposition::preprocess(*volume);
        CantileverModelRule rule;
        benchmark::DoNotOptimize(rule.apply(model));
        boxes = model->getEnvelopes().size();
        beams = rule.getBeams().size();
    }
    state.counters["boxes"] = double(boxes);
    state.counters["beams"] = double(beams);
    state.counters["cells_per_s"] =
        benchmark::Counter(200.0 * 200 * 100, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(CantileverExtraction)->Arg(4)->Arg(20)->Unit(benchmark::kMillisecond)->UseRealTime();
