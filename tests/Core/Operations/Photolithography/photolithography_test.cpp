#include "Core/Operations/Photolithography/photolithography.h"
#include "support/columnscenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Resist = 5, Negative = Photolithography::negativeResist;

struct Mask {
    std::vector<bool> bits;
    unsigned width = 0;
    unsigned height = 0;
};

// Opaque where `opaque(x, y)`, in the mask bit order x * height + y.
Mask maskOf(unsigned width, unsigned height,
            const std::function<bool(unsigned, unsigned)>& opaque) {
    Mask mask{std::vector<bool>(std::size_t(width) * height), width, height};
    for (unsigned x = 0; x < width; ++x)
        for (unsigned y = 0; y < height; ++y)
            mask.bits[std::size_t(x) * height + y] = opaque(x, y);
    return mask;
}

void develop(Model::Automaton::TotalVolume& volume, int resist, const Mask& top = {},
             const Mask& bottom = {}) {
    Photolithography(volume, resist, bottom.bits, bottom.width, bottom.height, top.bits, top.width,
                     top.height)
        .runDevelopment();
}

// Which columns (x, y) still hold resist at height z.
std::vector<bool> resistLeft(Model::Automaton::TotalVolume& volume, int z) {
    std::vector<bool> left;
    for (int x = 0; x < int(volume.getSizeX()); ++x)
        for (int y = 0; y < int(volume.getSizeY()); ++y)
            left.push_back(materialAt(volume, x, y, z) != 0);
    return left;
}

} // namespace

TEST(Photolithography, WithoutMasksOnlyResistTouchingEmptySpaceInsideTheVolumeDissolves) {
    const std::vector<std::string> before = {
        "SSRR....", // open above: dissolved
        "SSRRO...", // covered by oxide: stays
        "RRSS....", // on the bottom face, silicon above: stays
        "SSSSRRRR", // up to the top face, which is no opening: stays
        ".RRORRS.", // interrupted: only the run touching the empty cell below goes
        "SR.R.RR.", // three runs, each touching empty space
    };
    const std::vector<std::string> after = {"SS......", "SSRRO...", "RRSS....",
                                            "SSSSRRRR", "...ORRS.", "S......."};
    auto volume = columnScene(before, 6, 2);
    develop(*volume, Resist);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(columnAt(*volume, x, 1), after[std::size_t(x)]) << before[std::size_t(x)];

    // The negative resist is protected wherever there is no image.
    std::vector<std::string> negative = before;
    for (auto& column : negative)
        std::replace(column.begin(), column.end(), 'R', 'N');
    auto volumeNegative = columnScene(negative, 6, 2);
    const auto untouched = materialsOf(*volumeNegative);
    develop(*volumeNegative, Negative);
    EXPECT_EQ(materialsOf(*volumeNegative), untouched);
}

TEST(Photolithography, ImagesMapToColumnsByHeightAndInvertForTheNegativeResist) {
    struct Case {
        Mask top;
        int resist;
        std::function<bool(unsigned, unsigned)> left;
    };
    const auto corner = [](unsigned x, unsigned y) { return x == 0 && y == 0; };
    const auto pattern = [](unsigned x, unsigned y) { return (x + 2 * y) % 3 == 0; };
    Mask broken = maskOf(3, 3, [](unsigned, unsigned) { return true; });
    broken.bits.pop_back();
    const Case cases[] = {
        // Smaller than the volume: light passes outside the image...
        {maskOf(2, 2, corner), Resist, corner},
        // ...and the negative resist inverts inside and outside alike.
        {maskOf(2, 2, corner), Negative, [&](unsigned x, unsigned y) { return !corner(x, y); }},
        // Larger: pixels beyond the volume are ignored; bit x * 5 + y, not x * 3 + y.
        {maskOf(6, 5, pattern), Resist, pattern},
        // A bit count that does not match the size leaves the side open, even when negative.
        {broken, Negative, [](unsigned, unsigned) { return false; }},
    };
    for (const Case& c : cases) {
        auto volume = columnScene({c.resist == Negative ? "SN." : "SR."}, 4, 3);
        develop(*volume, c.resist, c.top);
        std::vector<bool> expected;
        for (unsigned x = 0; x < 4; ++x)
            for (unsigned y = 0; y < 3; ++y)
                expected.push_back(c.left(x, y));
        EXPECT_EQ(resistLeft(*volume, 1), expected)
            << c.top.width << "x" << c.top.height << " resist " << c.resist;
    }
    EXPECT_EQ(
        Photolithography::protectedColumns(maskOf(6, 5, pattern).bits, 6, 5, 4, 3, false).size(),
        12u)
        << "one entry per column of the volume, none per pixel";
}

TEST(Photolithography, TheBottomMaskDevelopsUpwardsAndNeverSideways) {
    // Resist hanging under an oxide lid with empty space below.
    auto volume = columnScene({".RRO."}, 3, 3);
    develop(*volume, Resist, {},
            maskOf(3, 3, [](unsigned x, unsigned y) { return x == 1 && y == 1; }));
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(columnAt(*volume, x, y), x == 1 && y == 1 ? ".RRO." : "...O.") << x << y;
}

TEST(Photolithography, EveryThreadCountGivesTheSingleStripResult) {
    const Mask top = maskOf(20, 9, [](unsigned x, unsigned y) { return (x / 2 + y) % 3 == 0; });
    const Mask bottom = maskOf(17, 7, [](unsigned x, unsigned y) { return (x * y) % 4 == 1; });
    const auto run = [&](int threads, int sizeX, int resist) {
        PoolThreads pool(threads);
        auto volume = makeVolume(sizeX, 7, 12, [resist](int x, int y, int z) {
            if ((x * 5 + y * 3 + z) % 7 == 0)
                return 0;
            return (x + y) % 5 == 0 && z == 6 ? 2 : z % 4 == 0 ? 1 : resist;
        });
        develop(*volume, resist, top, bottom);
        return materialsOf(*volume);
    };
    for (const int resist : {Resist, Negative})
        for (const int sizeX : {19, 5}) {
            const auto serial = run(1, sizeX, resist);
            for (const int threads : {2, 3, 8})
                EXPECT_EQ(run(threads, sizeX, resist), serial)
                    << "resist " << resist << " sizeX " << sizeX << " threads " << threads;
        }
}

} // namespace CELLVANE_TEST_FILE
