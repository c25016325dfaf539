#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/compensationbar.h"
#include "Core/Operations/SiEtching/planerates.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <QRect>

#include <algorithm>
#include <cmath>
#include <vector>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

TEST(CalibratedWetEtch, ACompensationBarKeepsTheMesaCornerSquareAtItsDesignDepth) {
    QuietEtching quiet;
    PoolThreads pool(2);
    // The flanks of the bar's end: (3-11) and (-131) move their lines along [110] at
    // R311 / (2/sqrt 22), (101) and (011) at R110 / (1/2); the faster sets the length, {311}
    // for both tables.
    for (const Etchant etchant : {Etchant::Koh, Etchant::Tmah}) {
        const PlaneRates& r = calibrated(etchant).table.rates;
        EXPECT_NEAR(barEndRecessionRatio(r), std::sqrt(22.0) / 2.0 * r.r311 / r.r100, 1e-12);
        EXPECT_GT(barEndRecessionRatio(r), 2.0 * r.r110 / r.r100);
    }
    const PlaneRates& koh = calibrated(Etchant::Koh).table.rates;

    // One corner of a mesa reaching past the volume's low sides, at (corner, corner). At this
    // depth a bar sized by the {110} flanks alone (29 cells) is gone too early and the corner
    // is cut by two cells.
    constexpr int depth = 8, width = 3, corner = 2 * depth + 4, top = depth + 1;
    const int length = int(std::lround(compensationBarLength(koh, depth)));
    EXPECT_EQ(length, 35);
    const int size = corner + length + 6;
    // How far the outline of the mesa's top layer strays from the square corner, in cells: a
    // cell keeps silicon when half its atoms are left.
    const auto stray = [&](int barLength) {
        const auto mask =
            compensatedMesaMask(unsigned(size), unsigned(size),
                                QRect(-corner, -corner, 2 * corner, 2 * corner), barLength, width);
        auto volume = makeVolume(size, size, top + 2, [&](int x, int y, int z) {
            if (z < top)
                return 1;
            return z == top && mask.bits[std::size_t(x) * unsigned(size) + std::size_t(y)] ? oxide
                                                                                           : 0;
        });
        const std::vector<int> before = etchedByTable(*volume, depth, Etchant::Koh);
        EXPECT_FALSE(before.empty()) << "the lattice could not be built";
        const auto lattice = volume->getSiLattice();
        int worst = 0;
        for (int x = corner - 12; x < size - 2; ++x)
            for (int y = corner - 12; y < corner + 4; ++y) {
                const auto c = volume->index(unsigned(x), unsigned(y), unsigned(top - 1));
                const bool silicon = 2 * lattice->atomCount(c) >= before[c];
                const bool inside = x < corner && y < corner;
                if (silicon && !inside)
                    worst = std::max(worst, std::max(x, y) - corner + 1);
                if (!silicon && inside)
                    worst = std::max(worst, corner - std::max(x, y));
            }
        return worst;
    };
    EXPECT_LE(stray(length), 2);
    // Bare, the corner is undercut along its diagonal by more than the depth.
    EXPECT_GE(stray(0), depth);
}

TEST(CompensatedMesaMask, OneBarOnEachCornerContinuesAnEdgeLikeAPinwheel) {
    struct Case {
        const char* name;
        QRect mesa;
        int length, width;
        std::vector<QRect> opaque; // the mesa and the bars, inside the mask
    };
    const Case cases[] = {
        {"four bars",
         QRect(6, 6, 8, 8),
         4,
         2,
         {QRect(6, 6, 8, 8), QRect(14, 12, 4, 2), QRect(6, 14, 2, 4), QRect(2, 6, 4, 2),
          QRect(12, 2, 2, 4)}},
        {"bars cut off by the mask",
         QRect(-5, -5, 10, 10),
         30,
         3,
         {QRect(0, 0, 5, 5), QRect(5, 2, 15, 3)}},
        {"wider than the mesa",
         QRect(8, 8, 2, 2),
         3,
         5,
         {QRect(8, 8, 2, 2), QRect(10, 8, 3, 2), QRect(8, 10, 2, 3), QRect(5, 8, 3, 2),
          QRect(8, 5, 2, 3)}},
        {"no bar", QRect(3, 4, 5, 6), 0, 3, {QRect(3, 4, 5, 6)}},
    };
    constexpr unsigned width = 20, height = 18;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto mask = compensatedMesaMask(width, height, c.mesa, c.length, c.width);
        ASSERT_TRUE(mask.isConsistent());
        ASSERT_EQ(mask.width, width);
        for (unsigned x = 0; x < width; ++x)
            for (unsigned y = 0; y < height; ++y) {
                const bool expected =
                    std::any_of(c.opaque.begin(), c.opaque.end(),
                                [&](const QRect& r) { return r.contains(int(x), int(y)); });
                EXPECT_EQ(mask.bits[x * height + y], expected) << x << ", " << y;
            }
    }
}

} // namespace CELLVANE_TEST_FILE
