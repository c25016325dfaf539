#include "Core/Operations/SiEtching/planeratemeasurement.h"

#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace Core::Operations {

namespace {

using Model::Automaton::TotalVolume;

constexpr int oxide = 2;
// Across the periodic y sides; 5 lattice constants are 7.07 rows of the turned crystal, the
// nearest to a whole number of rows among small widths.
constexpr unsigned width = 5;

struct Slab {
    double angle;   // of the face's normal from [001], in degrees
    unsigned sizeX; // with the oxide walls
    unsigned sizeZ;
    double faceTop;  // where the face meets the left wall (tilted faces), or the wall's x
    bool columnBand; // the band runs along z (tilted faces) or along x (the upright face)
    unsigned bandBegin, bandEnd;
    // Oxide at both ends in x (2: tilted faces), at the far end (1: the upright face), none
    // (0: the flat face, periodic in x as in y: 17 lattice constants are 24.04 rows), or an
    // oxide mask with a slit (3: the {111} groove).
    int walls;
};

Slab slabOf(PlaneRateMeasurement::Family family) {
    switch (family) {
    case PlaneRateMeasurement::Family::P100:
        return {0.0, 17, 12, 9.0, true, 0, 17, 0};
    case PlaneRateMeasurement::Family::P311:
        // tan 25.24° = √2 / 3: the face falls 0.47 per column.
        return {std::atan(std::sqrt(2.0) / 3.0) * 180.0 / M_PI, 44, 26, 23.0, true, 14, 30, 2};
    case PlaneRateMeasurement::Family::P111:
        // A groove under an oxide slit x in [4, 12) at z = 9: once its floor has gone, two
        // {111} walls; the band keeps to the left wall, which crosses columns 5 and 6 whole.
        return {std::atan(std::sqrt(2.0)) * 180.0 / M_PI, 16, 12, 9.0, true, 5, 7, 3};
    case PlaneRateMeasurement::Family::P110:
        break;
    }
    // Its ends at the closed top and bottom hold it like masks, and {111} facets grow from
    // there: the band keeps to the middle of a tall face.
    return {90.0, 24, 32, 8.0, false, 13, 19, 1};
}

std::shared_ptr<TotalVolume> buildSlab(const Slab& slab) {
    const double slope = std::tan(slab.angle * M_PI / 180.0);
    return std::make_shared<TotalVolume>(
        slab.sizeX, width, slab.sizeZ, 1.f, 1.f, 1.f, Util::Vector3D(),
        [&](unsigned x, unsigned, Model::Automaton::MaterialCells column) {
            for (unsigned z = 0; z < slab.sizeZ; ++z) {
                Model::Automaton::MaterialId material = 0;
                if (slab.walls == 3)
                    material = z < slab.faceTop                          ? 1
                               : z == slab.faceTop && (x < 4 || x >= 12) ? oxide
                                                                         : 0;
                else if ((slab.walls == 2 && x == 0) || (slab.walls > 0 && x + 1 == slab.sizeX))
                    material = oxide;
                else if (slab.columnBand)
                    material = z + 0.5 < slab.faceTop - slope * (x - 0.5) ? 1 : 0;
                else
                    material = x + 0.5 < slab.faceTop ? 1 : 0;
                column.set(z, material);
            }
        });
}

// Silicon atoms of the band at every step from `first` on.
class BandCounter : public Util::ProgressReporter {
public:
    BandCounter(TotalVolume& volume, const Slab& slab, std::uint64_t first)
        : volume(volume), slab(slab), first(first) {}

    void advance(std::uint64_t steps) override {
        for (std::uint64_t i = 0; i < steps; ++i)
            if (++step >= first)
                counts.push_back(count());
    }
    std::int64_t count() const {
        const auto lattice = volume.getSiLattice();
        std::int64_t sum = 0;
        for (unsigned x = 0; x < slab.sizeX; ++x)
            for (unsigned y = 0; y < width; ++y)
                for (unsigned z = 0; z < slab.sizeZ; ++z) {
                    const unsigned along = slab.columnBand ? x : z;
                    if (along >= slab.bandBegin && along < slab.bandEnd)
                        sum += lattice->atomCount(volume.index(x, y, z));
                }
        return sum;
    }
    std::vector<std::int64_t> counts;

private:
    TotalVolume& volume;
    const Slab& slab;
    std::uint64_t first;
    std::uint64_t step = 0;
};

// The face's recession in lattice constants per step. A face recedes in bursts (a layer, or
// a {111} bilayer, at a time), so the rate is read from the first burst after the face has
// settled to the last one: whole cycles, whatever the phase of the window.
double recessionPerStep(PlaneRateMeasurement::Family family, const NeighbourhoodSteps& steps,
                        std::uint64_t settle, std::uint64_t measured) {
    const Slab slab = slabOf(family);
    const auto volume = buildSlab(slab);
    QString reason;
    if (!volume->rebuildSiLattice(&reason))
        return std::nan("");
    BandCounter counter(*volume, slab, settle);
    // The depth counts (100) layers of terrace100 steps each; one more layer than measured.
    const double layers = double(settle + measured) / double(std::max(1, steps.terrace100)) + 1.0;
    AtomicStructureSimpleSiWetEtch run(*volume, layers / 4.0, WetEtchSides::Periodic);
    run.setNeighbourhoodSteps(steps);
    run.runEtching(counter);
    const std::vector<std::int64_t>& n = counter.counts;
    // A burst may take consecutive steps (a {111} terrace, then the atoms it left with one
    // bond): the rate runs from the start of the first burst to the start of the last.
    std::vector<std::size_t> starts;
    for (std::size_t i = 1; i < n.size() && i <= measured; ++i)
        if (n[i] < n[i - 1] && (i < 2 || n[i - 1] == n[i - 2]))
            starts.push_back(i);
    std::size_t from = 1, to = std::min<std::size_t>(n.size(), measured + 1);
    if (starts.size() >= 2) {
        from = starts.front();
        to = starts.back();
    }
    if (to <= from)
        return std::nan("");
    const double removed = double(n[from - 1] - n[to - 1]) / 8.0;
    const double elapsed = double(to - from);
    const double normal = std::cos(slab.angle * M_PI / 180.0);
    const double across = slab.columnBand ? normal : std::sqrt(1.0 - normal * normal);
    const double band = double(slab.bandEnd - slab.bandBegin) * width;
    return removed * across / band / elapsed;
}

// Steps to let the face settle and to measure over: whole cycles of the slowest neighbourhood
// the family's face waits in, so that a face that recedes in bursts is read over whole ones.
void windowOf(PlaneRateMeasurement::Family family, const NeighbourhoodSteps& steps,
              std::uint64_t& settle, std::uint64_t& measured) {
    const std::uint64_t layer = std::uint64_t(std::max(1, steps.terrace100));
    if (family == PlaneRateMeasurement::Family::P111) {
        const std::uint64_t cycle = std::uint64_t(std::max(1, steps.terrace111)) + 1;
        settle = cycle + 16 * layer;
        measured = 2 * cycle + cycle / 2;
        return;
    }
    settle = 4 * layer;
    measured = 12 * layer;
}

} // namespace

double PlaneRateMeasurement::hundredPerStep(const NeighbourhoodSteps& steps) {
    std::uint64_t settle = 0, measured = 0;
    windowOf(Family::P100, steps, settle, measured);
    return recessionPerStep(Family::P100, steps, settle, measured);
}

double PlaneRateMeasurement::relativeRate(Family family, const NeighbourhoodSteps& steps) {
    std::uint64_t settle = 0, measured = 0;
    windowOf(family, steps, settle, measured);
    return recessionPerStep(family, steps, settle, measured) / hundredPerStep(steps);
}

std::vector<std::array<double, 4>>
PlaneRateMeasurement::turnedSquareWalls(const NeighbourhoodSteps& steps, int depth, int half) {
    const int top = depth + 3, height = top + 2, size = 2 * (half + 2 * depth + 3);
    const double centre = size / 2.0;
    const auto volume = std::make_shared<TotalVolume>(
        unsigned(size), unsigned(size), unsigned(height), 1.f, 1.f, 1.f, Util::Vector3D(),
        [=](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
            column.fill(0, top, Model::Automaton::MaterialId(1));
            if (std::abs(x + 0.5 - centre) + std::abs(y + 0.5 - centre) >= half)
                column.set(top, Model::Automaton::MaterialId(oxide));
        });
    QString reason;
    if (!volume->rebuildSiLattice(&reason))
        return {};
    AtomicStructureSimpleSiWetEtch run(*volume, depth);
    run.setNeighbourhoodSteps(steps);
    run.runEtching();
    return turnedSquareUndercut(*volume->getSiLattice(), centre, half, top, depth + 1);
}

std::vector<std::array<double, 4>>
PlaneRateMeasurement::turnedSquareUndercut(const Model::Automaton::SiLattice& lattice,
                                           double centre, int half, int top, int layers) {
    constexpr double band = 4.0;
    const double a = lattice.getLatticeConstant();
    const Util::Vector3D corner = lattice.getBuiltAt();
    // The staircase's outer corners lie at |x| + |y| = half, its inner ones a cell closer.
    const double edge = (half - 0.5) / std::sqrt(2.0);
    std::vector<std::array<double, 4>> removed(std::size_t(std::max(0, layers)), {0, 0, 0, 0});
    for (Model::Automaton::AtomId id = 0; id < lattice.latticeAtomCount(); ++id) {
        if (lattice.cellIndexOf(id) < 0 || lattice.state(id) != Model::Automaton::SiAtom::Empty)
            continue;
        const Util::Vector3D p = lattice.atomPosition(id);
        const double u = (p.x - corner.x) / a - centre, v = (p.y - corner.y) / a - centre;
        const int layer = top - 1 - int(std::floor((p.z - corner.z) / a));
        if (layer < 0 || layer >= layers)
            continue;
        const double along = (std::abs(u) + std::abs(v)) / std::sqrt(2.0);
        const double across = (std::abs(u) - std::abs(v)) / std::sqrt(2.0);
        if (std::abs(across) < band && along > edge)
            removed[std::size_t(layer)][(u < 0 ? 1 : 0) + (v < 0 ? 2 : 0)] += 1.0;
    }
    for (auto& walls : removed)
        for (double& wall : walls)
            wall /= 8.0 * 2.0 * band;
    return removed;
}

const char* PlaneRateMeasurement::name(Family family) {
    switch (family) {
    case Family::P100:
        return "(100)";
    case Family::P110:
        return "(110)";
    case Family::P111:
        return "(111)";
    case Family::P311:
        break;
    }
    return "(311)";
}

double PlaneRateMeasurement::published(Family family, const PlaneRates& rates) {
    switch (family) {
    case Family::P100:
        return rates.r100;
    case Family::P110:
        return rates.r110;
    case Family::P111:
        return rates.r111;
    case Family::P311:
        break;
    }
    return rates.r311;
}

} // namespace Core::Operations
