// Redoes the calibration of the atomistic wet etch: for each etchant, the neighbourhood
// counts that make the simulated plane rates meet the published table, and the table of
// simulated rates beside the published ones.
//
//   cellvane_wetetch_calibration          the table for the counts in planerates.cpp
//   cellvane_wetetch_calibration --fit    searches the counts again, then prints the table
//   cellvane_wetetch_calibration --walls [depth half-diagonal]
//                                         the upright {100} walls of a 45°-turned square
//                                         opening, layer by layer, beside the depth
//
// The (110) and (111) counts follow from the rate ratios (planerates.h gives the formulas)
// and are then moved to the measured faces; the two step counts are searched on the measured
// {311} face: of the pairs that put it within 5 % of the table, the one whose upright {100}
// walls of a 45°-turned square lie closest to the depth. Rates are measured on the lattice by
// PlaneRateMeasurement.

#include "Core/Operations/SiEtching/planeratemeasurement.h"
#include "Core/Operations/SiEtching/planerates.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Core::Operations;
using Family = PlaneRateMeasurement::Family;

namespace {

// The walls' test scene: 4 µm deep through a 24 µm half-diagonal.
constexpr int wallDepth = 4, wallHalf = 24;

// How far the turned square's walls stray from the depth, at worst, down to the open floor.
double wallStray(const NeighbourhoodSteps& steps) {
    const auto walls = PlaneRateMeasurement::turnedSquareWalls(steps, wallDepth, wallHalf);
    double worst = walls.empty() ? INFINITY : 0.0;
    for (std::size_t layer = 0; layer < walls.size() && int(layer) < wallDepth; ++layer)
        for (const double wall : walls[layer])
            worst = std::max(worst, std::abs(wall - wallDepth));
    return worst;
}

double miss(Family family, const NeighbourhoodSteps& steps, const PlaneRates& table) {
    const double published = PlaneRateMeasurement::published(family, table) / table.r100;
    return PlaneRateMeasurement::relativeRate(family, steps) / published - 1.0;
}

NeighbourhoodSteps fit(const PlaneRates& table) {
    NeighbourhoodSteps steps = calibrated(Etchant::Koh).steps;
    const int layer = steps.terrace100;
    // (110) layers are √2 (100) layers thick; a (111) bilayer is 4/√3 of them and takes one
    // step more than its terrace count. The faces' edges etch a little faster than their
    // middles, so each count then moves to the measured face.
    const int chain = int(std::lround(std::sqrt(2.0) * layer * table.r100 / table.r110));
    double best = INFINITY;
    int chain110 = chain;
    for (int count = std::max(1, chain - 1); count <= chain + 1; ++count) {
        steps.chain110 = count;
        const double m = std::abs(miss(Family::P110, steps, table));
        if (m < best) {
            best = m;
            chain110 = count;
        }
    }
    steps.chain110 = chain110;
    steps.terrace111 = int(std::lround(4.0 / std::sqrt(3.0) * layer * table.r100 / table.r111)) - 1;
    const double fast = 1.0 + miss(Family::P111, steps, table);
    steps.terrace111 = int(std::lround((steps.terrace111 + 1) * fast)) - 1;
    // Several pairs meet the (311) rate; the step counts also decide how steps cross a {100}
    // face, which only the upright walls show, so they choose among those pairs. Without any
    // pair within 5 % the closest (311) rate is taken.
    best = INFINITY;
    double bestStray = INFINITY;
    NeighbourhoodSteps chosen = steps;
    for (int step100 = 1; step100 <= layer; ++step100)
        for (int step311 = 1; step311 <= layer; ++step311) {
            steps.step100 = step100;
            steps.step311 = step311;
            const double m = std::abs(miss(Family::P311, steps, table));
            const double stray = m <= 0.05 ? wallStray(steps) : INFINITY;
            std::printf("  step counts %2d %2d: (311) %+.3f", step100, step311,
                        miss(Family::P311, steps, table));
            if (m <= 0.05)
                std::printf(", walls stray %.2f µm from %d µm", stray, wallDepth);
            std::printf("\n");
            const bool better =
                stray < INFINITY ? stray < bestStray : bestStray == INFINITY && m < best;
            if (better) {
                best = m;
                bestStray = stray;
                chosen = steps;
            }
        }
    return chosen;
}

void printTable(Etchant etchant, const NeighbourhoodSteps& steps) {
    const PlaneRateTable& table = calibrated(etchant).table;
    std::printf("%s %.0f wt%% at %.0f °C, counts {%d, %d, %d, %d, %d}\n",
                qPrintable(etchantName(etchant)), table.concentration, table.temperature,
                steps.terrace100, steps.step100, steps.chain110, steps.step311, steps.terrace111);
    std::printf("  plane   published µm/min   simulated µm/min   ratio\n");
    const double hundred = PlaneRateMeasurement::hundredPerStep(steps);
    // One (100) layer of a/4 per terrace count of steps is the table's (100) rate.
    const double perStep = table.rates.r100 / (0.25 / steps.terrace100);
    for (const Family family : {Family::P100, Family::P110, Family::P111, Family::P311}) {
        const double published = PlaneRateMeasurement::published(family, table.rates);
        const double simulated =
            family == Family::P100
                ? hundred * perStep
                : PlaneRateMeasurement::relativeRate(family, steps) * table.rates.r100;
        std::printf("  %-6s  %16.4f   %16.4f   %5.3f\n", PlaneRateMeasurement::name(family),
                    published, simulated, simulated / published);
    }
}

// The upright {100} walls of a 45°-turned square opening (PlaneRateMeasurement::
// turnedSquareWalls), layer by layer, beside the depth they should lie under the mask.
void printWalls(Etchant etchant, int depth, int half) {
    const auto walls =
        PlaneRateMeasurement::turnedSquareWalls(calibrated(etchant).steps, depth, half);
    std::printf("%s, 45°-turned square, half-diagonal %d µm, depth %d µm: undercut of the four "
                "walls in µm\n",
                qPrintable(etchantName(etchant)), half, depth);
    for (std::size_t layer = 0; layer < walls.size(); ++layer) {
        std::printf("  %2zu to %2zu µm below the mask:", layer, layer + 1);
        for (const double wall : walls[layer])
            std::printf(" %5.2f", wall);
        std::printf("%s\n", int(layer) >= depth ? "   (below the open floor)" : "");
    }
}

} // namespace

int main(int argc, char** argv) {
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    if (argc > 1 && std::strcmp(argv[1], "--walls") == 0) {
        // Whole micrometres only: the opening and the depth are counted in 1 µm cells.
        const auto number = [&](int index, long fallback, long low, long high) {
            if (argc <= index)
                return fallback;
            char* end = nullptr;
            const long value = std::strtol(argv[index], &end, 10);
            return end != argv[index] && *end == '\0' && value >= low && value <= high ? value
                                                                                       : -1L;
        };
        const long depth = number(2, 5, 1, 50);
        const long half = number(3, 40, 2, 200);
        if (depth < 0 || half < 0 || argc > 4) {
            std::fprintf(stderr, "usage: %s --walls [depth 1-50 µm] [half-diagonal 2-200 µm]\n",
                         argv[0]);
            return 2;
        }
        for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah})
            printWalls(etchant, int(depth), int(half));
        return 0;
    }
    const bool refit = argc > 1 && std::strcmp(argv[1], "--fit") == 0;
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        NeighbourhoodSteps steps = calibrated(etchant).steps;
        if (refit)
            steps = fit(calibrated(etchant).table.rates);
        printTable(etchant, steps);
    }
    return 0;
}
