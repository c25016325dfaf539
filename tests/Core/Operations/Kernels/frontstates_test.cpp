// The states of a front run live in pages near the front only, whatever the volume's size, and
// the result does not depend on where the strips or the pages begin.
#include "Core/Operations/Isotropic/vectordistancerule.h"
#include "support/fingerprint.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Film = 7;

struct Outcome {
    std::uint64_t materials;
    std::size_t pages;
};

Outcome deposit(Model::Automaton::TotalVolume& volume, float distance) {
    VectorDistanceRule rule(VectorDistanceRule::Process::Deposition, volume, Film, 0, distance);
    FrontPropagation<VectorDistanceRule> front(volume, rule);
    front.run(VectorDistanceRule::stepCount(distance, 1.f, 1.f, 1.f));
    return {materialsFingerprint(volume), front.pagesMade()};
}

} // namespace

TEST(FrontStates, PagesFollowTheFrontAndResultsHoldForEveryStripWidth) {
    const struct {
        const char* name;
        int size[3];
        std::function<int(int, int, int)> material;
        float distance;
    } scenes[] = {
        // A flat wafer in a tall volume: the film is a thin band of a few pages per column.
        {"flat", {40, 30, 300}, [](int, int, int z) { return z < 150 ? Silicon : 0; }, 3.f},
        // One silicon cell in the middle: the film grows until it reaches every face.
        {"to every face",
         {9, 7, 11},
         [](int x, int y, int z) { return x == 4 && y == 3 && z == 5 ? Silicon : 0; },
         40.f},
        // As many strips as x layers: every strip is one cell wide and hands over both ways.
        {"one-cell strips",
         {3, 20, 70},
         [](int x, int y, int z) { return z < 10 + (x * 7 + y) % 13 ? Silicon : 0; },
         4.f},
        // Silicon hanging from the top face, over empty cells at the bottom of the next row:
        // the seeds' neighbourhood reaches past a row's last cell, which no front may take.
        {"hanging from the top",
         {3, 4, 70},
         [](int x, int y, int z) { return z >= 60 + (x + y) % 3 ? Silicon : 0; },
         5.f},
        // Rows shorter and longer than a page, ending inside one.
        {"odd rows",
         {5, 4, 33},
         [](int x, int, int z) { return z < 3 + x * 5 ? Silicon : 0; },
         6.f},
    };
    for (const auto& scene : scenes) {
        std::optional<Outcome> single;
        for (const int threads : {1, 2, 3, 8}) {
            const PoolThreads pool(threads);
            auto volume = makeVolume(scene.size[0], scene.size[1], scene.size[2], scene.material);
            const Outcome run = deposit(*volume, scene.distance);
            if (!single)
                single = run;
            EXPECT_EQ(run.materials, single->materials) << scene.name << ", " << threads;
            EXPECT_EQ(run.pages, single->pages) << scene.name << ", " << threads;
        }
        const int columns = scene.size[0] * scene.size[1];
        constexpr int pageCells = FrontStates<VectorState>::pageCells;
        const int pagesPerColumn = (scene.size[2] + pageCells - 1) / pageCells;
        if (std::string(scene.name) == "flat") {
            EXPECT_LE(single->pages, std::size_t(columns) * 2) << "a band, not the volume";
        } else if (std::string(scene.name) == "to every face") {
            EXPECT_EQ(single->pages, std::size_t(columns * pagesPerColumn));
        }
    }
    // The film on the flat wafer is the distance thick, every column alike.
    auto flat = makeVolume(40, 30, 300, scenes[0].material);
    deposit(*flat, 3.f);
    const std::vector<int> cells = materialsOf(*flat);
    for (int z = 150; z < 156; ++z)
        EXPECT_EQ(cells[std::size_t(flat->index(17, 11, unsigned(z)))], z < 153 ? Film : 0) << z;
}

} // namespace CELLVANE_TEST_FILE
