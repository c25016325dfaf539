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
    std::vector<int> m(std::size_t(200) * 200 * 100, 0);
    for (int x = 0; x < 200; ++x)
        for (int y = 0; y < 200; ++y)
            for (int z = 0; z < 100; ++z) {
                const int u = x % pitch, v = y % pitch;
                const bool inPlate = u < pitch * 3 / 4 && v >= pitch / 4 && v < pitch * 3 / 4;
                int material = 0;
                if (z < 40 || (z < 50 && u < pitch / 4 && inPlate))
                    material = bench::Silicon;
                else if (z >= 50 && z < 54 && inPlate)
                    material = Aluminium;
                m[std::size_t(x) * 200 * 100 + std::size_t(y) * 100 + z] = material;
            }
    return std::make_unique<Model::Automaton::TotalVolume>(200, 200, 100, 1.f, 1.f, 1.f,
                                                           Util::Vector3D(), m);
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
