#include "Model/Layout/layoutmask.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

using namespace Model::Layout;

// 10,000 polygons of 4 to 8 vertices, 2 to 20 um across, scattered over a 1 mm square at a
// 1 nm database unit.
LayoutLibrary scattered() {
    std::mt19937 random(10000);
    std::uniform_real_distribution<double> position(0.0, 1e6);
    std::uniform_real_distribution<double> radius(1e3, 1e4);
    std::uniform_int_distribution<int> corners(4, 8);
    LayoutCell chip{"CHIP", {}};
    for (int n = 0; n < 10000; ++n) {
        LayoutElement shape;
        shape.kind = LayoutElement::Kind::Boundary;
        shape.layer = 1;
        const double x = position(random), y = position(random), r = radius(random);
        const int k = corners(random);
        for (int i = 0; i <= k; ++i) {
            const double t = 2 * M_PI * (i % k) / k + 0.3 * n;
            shape.xy.push_back(std::int32_t(x + r * std::cos(t)));
            shape.xy.push_back(std::int32_t(y + r * std::sin(t)));
        }
        chip.elements.push_back(std::move(shape));
    }
    return LayoutLibrary(1e-3, {chip});
}

// The same count through the hierarchy: a 100 x 100 array of a cell holding one square.
LayoutLibrary arrayed() {
    LayoutElement square;
    square.kind = LayoutElement::Kind::Boundary;
    square.layer = 1;
    square.xy = {0, 0, 6000, 0, 6000, 6000, 0, 6000, 0, 0};
    LayoutElement array;
    array.kind = LayoutElement::Kind::Array;
    array.cell = 0;
    array.columns = 100;
    array.rows = 100;
    array.angle = 90;
    array.xy = {0, 0, 1000000, 0, 0, 1000000};
    return LayoutLibrary(1e-3, {{"DIE", {square}}, {"WAFER", {array}}});
}

void rasterise(benchmark::State& state, const LayoutLibrary& library) {
    const ColumnGrid grid{1000, 1000, 1.0, 1.0};
    LayoutMaskSource source;
    source.layer = 1;
    source.rotation = 90;
    source.offsetX = 1000.0;
    for (auto _ : state) {
        Model::Automaton::PhotoMask mask;
        QString problem;
        if (!LayoutMask::rasterise(library, source, grid, mask, problem))
            state.SkipWithError(problem.toUtf8().constData());
        benchmark::DoNotOptimize(mask.bits);
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}

void LayoutRasterise10kPolygons(benchmark::State& state) {
    static const LayoutLibrary library = scattered();
    rasterise(state, library);
}

void LayoutRasterise10kArrayed(benchmark::State& state) {
    static const LayoutLibrary library = arrayed();
    rasterise(state, library);
}

} // namespace

BENCHMARK(LayoutRasterise10kPolygons)->Unit(benchmark::kMillisecond);
BENCHMARK(LayoutRasterise10kArrayed)->Unit(benchmark::kMillisecond);
