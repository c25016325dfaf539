#include "Model/Metrology/measurementquery.h"
#include "Model/Transport/fluxengine.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

namespace CELLVANE_TEST_FILE {

using Model::Transport::FluxEngine;
using Model::Transport::FluxSettings;
using Model::Transport::SurfaceFlux;
using testing_support::makeVolume;
using testing_support::PoolThreads;

namespace {

constexpr int Silicon = 1;
constexpr double pi = 3.14159265358979323846;

// A slot `width` cells wide and `depth` deep, running the whole volume along y, centred in x;
// its bottom lies on `floor` cells of silicon and one empty layer lies above the field.
struct Trench {
    int width, depth, field = 5, floor = 2, sizeY = 4;
    int sizeX() const { return width + 2 * field; }
    int sizeZ() const { return floor + depth + 1; }
    std::shared_ptr<Model::Automaton::TotalVolume> volume() const {
        const Trench t = *this;
        return makeVolume(sizeX(), sizeY, sizeZ(), [t](int x, int, int z) {
            const bool inSlot = x >= t.field && x < t.field + t.width;
            return z < t.floor || (z < t.floor + t.depth && !inSlot) ? Silicon : 0;
        });
    }
};

// The mean over cells of one column band of the trench's bottom, each cell's flux read on the
// topmost surface cell of its column.
double bottomMean(const SurfaceFlux& flux, int x0, int x1, int sizeY, bool total) {
    double sum = 0.0;
    int cells = 0;
    for (int x = x0; x < x1; ++x)
        for (int y = 0; y < sizeY; ++y) {
            const std::ptrdiff_t k = flux.topOfColumn(unsigned(x), unsigned(y));
            EXPECT_GE(k, 0);
            sum += total ? flux.totalFlux(std::size_t(k)) : flux.directFlux(std::size_t(k));
            ++cells;
        }
    return sum / cells;
}

// Point view factor of a floor element at distance s from the centre line of an infinite slot
// of width w and depth h to the slot's opening (Hottel's crossed strings).
double slotViewFactor(double s, double w, double h) {
    const double a = w / 2 - s, b = w / 2 + s;
    return 0.5 * (a / std::hypot(a, h) + b / std::hypot(b, h));
}

// Point view factor of an element at radius r on the bottom of a round hole of radius R and
// depth h to the hole's opening, a parallel coaxial disk.
double diskViewFactor(double r, double R, double h) {
    const double sum = h * h + r * r + R * R;
    return 0.5 * (1.0 - (h * h + r * r - R * R) / std::sqrt(sum * sum - 4.0 * r * r * R * R));
}

TEST(FluxEngine, DirectFluxAtTheBottomOfASlotIsItsViewFactorToTheOpening) {
    for (const int aspect : {1, 2, 5}) {
        SCOPED_TRACE(aspect);
        Trench trench{11, 11 * aspect};
        const auto volume = trench.volume();
        FluxSettings settings;
        settings.periodicSides = true;
        settings.raysPerCell = 3000;
        settings.seed = 7;
        const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
        // The three middle cells of the bottom; the view factor at their centres.
        const int mid = trench.field + trench.width / 2;
        double expected = 0.0;
        for (int dx = -1; dx <= 1; ++dx)
            expected += slotViewFactor(dx, trench.width, trench.depth) / 3.0;
        const double centre = 1.0 / std::sqrt(1.0 + 4.0 * aspect * aspect);
        EXPECT_NEAR(expected, centre, 0.01 * centre) << "the band stands for the centre";
        EXPECT_NEAR(bottomMean(flux, mid - 1, mid + 2, trench.sizeY, false), expected,
                    0.02 * expected);
        // The open field beside the slot sees the whole source; sticking 1 re-emits nothing.
        const std::ptrdiff_t field = flux.topOfColumn(0, 0);
        EXPECT_NEAR(flux.directFlux(std::size_t(field)), 1.0, 0.03);
        EXPECT_EQ(flux.directFlux(std::size_t(field)), flux.totalFlux(std::size_t(field)));
    }
}

TEST(FluxEngine, DirectFluxAtTheBottomOfARoundHoleIsItsViewFactorToTheOpening) {
    const double radius = 10.0;
    for (const int aspect : {1, 2}) {
        SCOPED_TRACE(aspect);
        const int depth = int(2 * radius) * aspect, size = 26, floor = 2;
        const double centre = size / 2.0;
        const auto inHole = [&](double x, double y) {
            return std::hypot(x + 0.5 - centre, y + 0.5 - centre) <= radius;
        };
        const auto volume = makeVolume(size, size, floor + depth + 1, [&](int x, int y, int z) {
            return z < floor || (z < floor + depth && !inHole(x, y)) ? Silicon : 0;
        });
        FluxSettings settings;
        settings.periodicSides = true;
        settings.raysPerCell = 1500;
        settings.seed = 11;
        const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
        double measured = 0.0, expected = 0.0;
        int cells = 0;
        for (int x = 0; x < size; ++x)
            for (int y = 0; y < size; ++y) {
                const double r = std::hypot(x + 0.5 - centre, y + 0.5 - centre);
                if (r > 3.0)
                    continue;
                measured +=
                    flux.directFlux(std::size_t(flux.topOfColumn(unsigned(x), unsigned(y))));
                expected += diskViewFactor(r, radius, depth);
                ++cells;
            }
        measured /= cells;
        expected /= cells;
        const double atCentre = 1.0 / (1.0 + 4.0 * aspect * aspect);
        EXPECT_NEAR(expected, atCentre, 0.02 * atCentre);
        EXPECT_NEAR(measured, atCentre, 0.03 * atCentre);
    }
}

// An independent Monte Carlo of the same slot in its continuous cross-section: particles enter
// the opening from a Lambertian source, stick with probability `sticking` at each wall or floor
// hit and are otherwise re-emitted with a cosine about the face's normal. Returns the mean total
// flux on the floor band [x0, x1) (measured from the left wall).
double slotFloorFlux(double width, double depth, double sticking, double x0, double x1,
                     std::uint64_t particles) {
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    // A cosine about a normal: the normal component and one tangential component in the plane
    // of the cross-section (the other runs along the slot and changes nothing).
    const auto lambert = [&](double& normal, double& tangent) {
        const double cosTheta = std::sqrt(1.0 - uniform(random));
        const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
        normal = cosTheta;
        tangent = sinTheta * std::cos(2.0 * pi * uniform(random));
    };
    std::uint64_t hits = 0;
    for (std::uint64_t i = 0; i < particles; ++i) {
        double x = width * uniform(random), z = depth, dx, dz;
        lambert(dz, dx);
        dz = -dz;
        for (;;) {
            // The next face: a wall, the floor, or the opening (escape).
            double t = dz < 0 ? -z / dz : (depth - z) / dz;
            int face = dz < 0 ? 0 : 3;
            if (dx < 0 && -x / dx < t) {
                t = -x / dx;
                face = 1;
            } else if (dx > 0 && (width - x) / dx < t) {
                t = (width - x) / dx;
                face = 2;
            }
            if (face == 3)
                break;
            x = face == 1 ? 0.0 : face == 2 ? width : x + t * dx;
            z = face == 0 ? 0.0 : z + t * dz;
            if (face == 0 && x >= x0 && x < x1)
                ++hits;
            if (uniform(random) < sticking)
                break;
            double normal, tangent;
            lambert(normal, tangent);
            if (face == 0) {
                dz = normal;
                dx = tangent;
            } else {
                dx = face == 1 ? normal : -normal;
                dz = tangent;
            }
        }
    }
    // Particles per unit length of opening: particles / width.
    return double(hits) * width / (double(particles) * (x1 - x0));
}

TEST(FluxEngine, ReEmittedFluxAtTheBottomOfASlotMatchesAnIndependentMonteCarlo) {
    Trench trench{11, 33};
    const auto volume = trench.volume();
    FluxSettings settings;
    settings.periodicSides = true;
    settings.sticking = 0.1;
    settings.raysPerCell = 1000;
    settings.seed = 3;
    const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
    const int mid = trench.field + trench.width / 2;
    const double engine = bottomMean(flux, mid - 1, mid + 2, trench.sizeY, true);
    const double reference = slotFloorFlux(11.0, 33.0, 0.1, 4.0, 7.0, 400000);
    EXPECT_NEAR(engine, reference, 0.03 * reference);
    // Re-emission more than doubles what reaches the bottom of so deep a slot.
    EXPECT_GT(engine, 2.0 * bottomMean(flux, mid - 1, mid + 2, trench.sizeY, false));
}

TEST(FluxEngine, OpenFieldReceivesOneForEverySourceAndTheSurfaceIsListedExactly) {
    // A flat wafer with one overhanging ledge: the ledge's underside and sides are surface.
    const auto volume = makeVolume(16, 16, 8, [](int x, int y, int z) {
        if (z < 3)
            return Silicon;
        return z == 5 && x >= 6 && x < 10 && y >= 6 && y < 10 ? Silicon : 0;
    });
    for (const double exponent : {1.0, 100.0}) {
        SCOPED_TRACE(exponent);
        FluxSettings settings;
        settings.sourceExponent = exponent;
        settings.periodicSides = true;
        settings.raysPerCell = 400;
        const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
        // 256 wafer cells (16 under the ledge too) and 16 ledge cells.
        ASSERT_EQ(flux.size(), 256u + 16u);
        const std::ptrdiff_t open = flux.topOfColumn(0, 0);
        ASSERT_GE(open, 0);
        EXPECT_EQ(flux.cell(std::size_t(open)), volume->index(0, 0, 2));
        EXPECT_EQ(flux.find(volume->index(0, 0, 2)), open);
        EXPECT_EQ(flux.find(volume->index(0, 0, 1)), -1) << "buried cells are no surface";
        EXPECT_NEAR(flux.totalFlux(std::size_t(open)), 1.0, 0.05);
        const std::ptrdiff_t ledgeCorner = flux.find(volume->index(6, 6, 5));
        ASSERT_GE(ledgeCorner, 0);
        EXPECT_EQ(flux.exposedFaces(std::size_t(ledgeCorner)), 1u | 2u | 4u | 16u);
        // Under the ledge, the wafer is shadowed.
        EXPECT_LT(flux.directFlux(std::size_t(flux.topOfColumn(7, 7))), 0.9);
    }
}

TEST(FluxEngine, ASeedGivesTheSameFluxAtAnyThreadCount) {
    Trench trench{5, 10};
    trench.sizeY = 9;
    const auto volume = trench.volume();
    for (const bool periodic : {false, true}) {
        FluxSettings settings;
        settings.periodicSides = periodic;
        settings.sticking = 0.3;
        settings.raysPerCell = 200;
        settings.seed = 0xfeedface12345ULL;
        std::vector<float> first;
        for (const int threads : {1, 2, 3, 8}) {
            SCOPED_TRACE(threads);
            const PoolThreads pool(threads);
            const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
            std::vector<float> values;
            for (std::size_t k = 0; k < flux.size(); ++k) {
                values.push_back(flux.directFlux(k));
                values.push_back(flux.totalFlux(k));
            }
            if (first.empty())
                first = values;
            else
                EXPECT_EQ(values, first);
        }
        settings.seed += 1;
        const SurfaceFlux other = FluxEngine::compute(*volume, settings);
        std::vector<float> values;
        for (std::size_t k = 0; k < other.size(); ++k) {
            values.push_back(other.directFlux(k));
            values.push_back(other.totalFlux(k));
        }
        EXPECT_NE(values, first) << "another seed draws other rays";
    }
}

TEST(FluxEngine, EmptyAndSolidVolumesAndBadSettings) {
    const auto empty = makeVolume(3, 3, 3, [](int, int, int) { return 0; });
    EXPECT_EQ(FluxEngine::compute(*empty, FluxSettings()).size(), 0u);
    EXPECT_EQ(FluxEngine::compute(*empty, FluxSettings()).topOfColumn(1, 1), -1);
    // A volume full to its top: only the top layer is surface, and it sees all.
    const auto full = makeVolume(1, 1, 4, [](int, int, int) { return Silicon; });
    FluxSettings periodic;
    periodic.periodicSides = true;
    const SurfaceFlux flux = FluxEngine::compute(*full, periodic);
    ASSERT_EQ(flux.size(), 1u);
    EXPECT_EQ(flux.cell(0), 3u);
    EXPECT_FLOAT_EQ(flux.totalFlux(0), 1.0f);

    const struct {
        void (*change)(FluxSettings&);
        const char* words;
    } refusals[] = {
        {[](FluxSettings& s) { s.sticking = 1.5; }, "sticking probability must"},
        {[](FluxSettings& s) { s.materialSticking[3] = -0.1; }, "of material 3"},
        {[](FluxSettings& s) { s.sourceExponent = std::nan(""); }, "source exponent"},
        {[](FluxSettings& s) { s.raysPerCell = 0; }, "rays per surface cell"},
        {[](FluxSettings& s) { s.bounceLimit = -1; }, "bounce limit"},
    };
    EXPECT_TRUE(FluxSettings().refusal().isEmpty());
    for (const auto& r : refusals) {
        FluxSettings s;
        r.change(s);
        EXPECT_TRUE(s.refusal().contains(QString::fromUtf8(r.words))) << s.refusal().toStdString();
    }
}

// The cell a source ray first enters that holds material, found by a plain walk through every
// cell on its way (no skipping, no height field), as an index into the volume, or -1 when the
// ray escapes or leaves through a closed side.
std::int64_t plainWalk(const std::vector<int>& materials, const int size[3],
                       const float cellSize[3], bool periodic,
                       const Model::Transport::SourceRay& ray) {
    double o[3], d[3], tMax[3], tDelta[3];
    int c[3], step[3];
    for (int a = 0; a < 3; ++a) {
        o[a] = ray.origin[a];
        d[a] = ray.direction[a] / cellSize[a];
        c[a] = a == 2 ? size[2] : std::min(int(o[a]), size[a] - 1);
        step[a] = d[a] > 0 ? 1 : -1;
        tDelta[a] = d[a] != 0 ? std::abs(1.0 / d[a]) : INFINITY;
        tMax[a] = d[a] != 0 ? ((d[a] > 0 ? c[a] + 1 : c[a]) - o[a]) / d[a] : INFINITY;
    }
    for (int steps = 0; steps < 10000000; ++steps) {
        int a = tMax[0] < tMax[1] ? 0 : 1;
        a = tMax[2] < tMax[a] ? 2 : a;
        c[a] += step[a];
        tMax[a] += tDelta[a];
        if (c[2] < 0 || c[2] >= size[2])
            return -1;
        if (c[a] < 0 || c[a] >= size[a]) {
            if (!periodic)
                return -1;
            c[a] = (c[a] + size[a]) % size[a];
        }
        const std::int64_t index = (std::int64_t(c[0]) * size[1] + c[1]) * size[2] + c[2];
        if (materials[std::size_t(index)] != 0)
            return index;
    }
    return -1;
}

TEST(FluxEngine, EveryRayLandsWhereAPlainWalkThroughTheCellsFirstMeetsMaterial) {
    // Terraces of several heights, a cave under a roof, a tunnel through a wall, floating
    // blocks and (in one scene) material in the volume's top layer: every way a ray can be
    // skipped along above the surface or walked among it.
    const int size[3] = {24, 20, 18};
    const auto scene = [&](bool topLayer) {
        std::vector<int> m(std::size_t(size[0]) * size[1] * size[2], 0);
        for (int x = 0; x < size[0]; ++x)
            for (int y = 0; y < size[1]; ++y)
                for (int z = 0; z < size[2]; ++z) {
                    const int terrace = 3 + (x / 6) * 2 + (y / 10);
                    bool solid = z < terrace;
                    solid = solid || (z == 11 && x >= 4 && x < 14 && y >= 3 && y < 15);    // roof
                    solid = solid || (x == 18 && z < 14 && !(y >= 8 && y < 11 && z >= 9)); // wall
                    solid = solid || (z == 15 && (x + 3 * y) % 7 == 0);                    // blocks
                    solid = solid || (topLayer && z == size[2] - 1 && x == 2 && y < 4);
                    m[(std::size_t(x) * size[1] + y) * size[2] + z] = solid ? (z % 3 + 1) : 0;
                }
        return m;
    };
    for (const bool topLayer : {false, true})
        for (const bool periodic : {false, true})
            for (const double exponent : {1.0, 20.0}) {
                SCOPED_TRACE(testing::Message() << "top layer " << topLayer << ", periodic "
                                                << periodic << ", exponent " << exponent);
                const std::vector<int> materials = scene(topLayer);
                const float cellSize[3] = {1.f, 0.5f, 2.f};
                const auto volume = makeVolume(
                    size[0], size[1], size[2],
                    [&](int x, int y, int z) {
                        return materials[(std::size_t(x) * size[1] + y) * size[2] + z];
                    },
                    cellSize[0], cellSize[1], cellSize[2]);
                FluxSettings settings;
                settings.sourceExponent = exponent;
                settings.periodicSides = periodic;
                settings.raysPerCell = 40;
                settings.seed = 77;
                const SurfaceFlux flux = FluxEngine::compute(*volume, settings);
                const std::uint64_t rays = flux.sourceRays;
                ASSERT_EQ(rays, 40u * flux.size());

                std::map<std::int64_t, std::uint64_t> landed;
                for (std::uint64_t i = 0; i < rays; ++i) {
                    const std::int64_t cell =
                        plainWalk(materials, size, cellSize, periodic,
                                  Model::Transport::sourceRay(settings, size, i));
                    if (cell >= 0)
                        ++landed[cell];
                }
                // Flux back to rays: Γ a N / A, a the cell's exposed area.
                const double sourceArea = size[0] * cellSize[0] * size[1] * cellSize[1];
                const double faceArea[3] = {cellSize[0] * cellSize[1], cellSize[0] * cellSize[2],
                                            cellSize[1] * cellSize[2]};
                std::uint64_t mismatched = 0, counted = 0;
                for (std::size_t k = 0; k < flux.size(); ++k) {
                    double area = 0.0;
                    for (int f = 0; f < 6; ++f)
                        if (flux.exposedFaces(k) >> f & 1u)
                            area += faceArea[f / 2];
                    const auto engine = std::uint64_t(
                        std::llround(flux.directFlux(k) * double(rays) * area / sourceArea));
                    const auto found = landed.find(std::int64_t(flux.cell(k)));
                    const std::uint64_t walked = found == landed.end() ? 0 : found->second;
                    mismatched += engine > walked ? engine - walked : walked - engine;
                    counted += walked;
                    if (found != landed.end())
                        landed.erase(found);
                }
                EXPECT_TRUE(landed.empty()) << "rays landed on cells the engine lists as buried";
                EXPECT_GT(counted, rays / 3);
                // A ray grazing the periodic wafer for thousands of cells may be given up.
                EXPECT_LE(mismatched, periodic ? rays / 10000 : 0u);
            }
}

TEST(FluxEntry, MeasuresTheTopSurfaceCellOfAColumnWithTheEntrysSource) {
    using Model::Metrology::MeasurementQuery;
    const auto take = [](Model::Automaton::TotalVolume& volume, const char* text) {
        QString problem;
        const auto query = MeasurementQuery::parse(QString::fromLatin1(text), {}, problem);
        EXPECT_TRUE(query) << problem.toStdString();
        return query ? Model::Metrology::measure(volume, *query)
                     : Model::Metrology::Measurement::noAnswer(problem);
    };
    // One column full to the top: the source lies on its surface and every ray lands on it.
    const auto full = makeVolume(1, 1, 2, [](int, int, int) { return Silicon; });
    const auto open = take(*full, "flux@0.5,0.5");
    ASSERT_TRUE(open.hasAnswer()) << open.reason.toStdString();
    EXPECT_DOUBLE_EQ(open.quantities[0].value, 1.0);

    // A slot of aspect ratio 2: ions reach its bottom, neutrals hardly; neutrals that bounce
    // more than those that stick.
    Trench trench{5, 10};
    const auto slotted = trench.volume();
    const auto bottom = [&](const char* text) {
        return take(*slotted, text).quantities.at(0).value;
    };
    const double neutral = bottom("flux@7.5,2"), ion = bottom("flux:1000@7.5,2"),
                 bouncing = bottom("flux:1:0.05@7.5,2");
    EXPECT_LT(neutral, 0.35);
    EXPECT_GT(ion, 0.7);
    EXPECT_GT(ion, 2.0 * neutral);
    EXPECT_GT(bouncing, neutral);

    EXPECT_FALSE(take(*slotted, "flux@99,2").hasAnswer()) << "outside the volume";
    const auto empty = makeVolume(2, 2, 2, [](int, int, int) { return 0; });
    EXPECT_TRUE(take(*empty, "flux@1,1").reason.contains(QStringLiteral("no material")));
    for (const char* bad :
         {"flux:x@1,1", "flux:1:2@1,1", "flux:-1@1,1", "flux:1:0.5:3@1,1", "flux@1"}) {
        QString problem;
        EXPECT_FALSE(MeasurementQuery::parse(QString::fromLatin1(bad), {}, problem)) << bad;
        EXPECT_FALSE(problem.isEmpty());
    }
}

} // namespace

} // namespace CELLVANE_TEST_FILE
