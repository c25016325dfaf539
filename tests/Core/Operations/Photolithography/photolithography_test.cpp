#include "Core/Operations/Photolithography/photolithography.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

using namespace Core::Operations;
using namespace testing_support;

namespace {

constexpr int Silicon = 1, Oxide = 2, Resist = 5, Negative = Photolithography::negativeResist;

struct Mask {
    std::vector<bool> bits;
    unsigned width = 0;
    unsigned height = 0;
};

void develop(Model::Automaton::TotalVolume& volume, int resist, const Mask& top = {},
             const Mask& bottom = {}) {
    Photolithography(volume, resist, bottom.bits, bottom.width, bottom.height, top.bits, top.width,
                     top.height)
        .runDevelopment();
}

// Opaque where `opaque(x, y)`, in the mask bit order x * height + y.
Mask maskOf(unsigned width, unsigned height,
            const std::function<bool(unsigned, unsigned)>& opaque) {
    Mask mask{std::vector<bool>(std::size_t(width) * height), width, height};
    for (unsigned x = 0; x < width; ++x)
        for (unsigned y = 0; y < height; ++y)
            mask.bits[std::size_t(x) * height + y] = opaque(x, y);
    return mask;
}

// One column per case, along x, each 8 cells high ('.' empty, 'S' silicon, 'O' oxide, 'R'
// the resist), written from z = 0 upwards.
const char* const columns[] = {
    "SSRR....", // 0: open above: dissolved
    "SSRRO...", // 1: covered by oxide: stays
    "RRSS....", // 2: on the bottom face, silicon above: stays
    "SSSSRRRR", // 3: up to the top face, which is no opening: stays
    ".RRORRS.", // 4: interrupted: only the run touching the empty cell below goes
    "SR.R.RR.", // 5: three runs, each touching empty space
};

std::shared_ptr<Model::Automaton::TotalVolume> columnScene(int resist) {
    return makeVolume(6, 2, 8, [resist](int x, int, int z) {
        switch (columns[x][z]) {
        case 'S':
            return Silicon;
        case 'O':
            return Oxide;
        case 'R':
            return resist;
        default:
            return 0;
        }
    });
}

// What each column holds after development from both sides.
const char* const developed[] = {"SS......", "SSRRO...", "RRSS....",
                                 "SSSSRRRR", "...ORRS.", "S......."};

} // namespace

TEST(Photolithography, WithoutMasksAPositiveResistDissolvesWhereverItTouchesEmptySpace) {
    auto volume = columnScene(Resist);
    develop(*volume, Resist);
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 2; ++y)
            for (int z = 0; z < 8; ++z) {
                const char expected = developed[x][z];
                const int material = expected == 'S'   ? Silicon
                                     : expected == 'O' ? Oxide
                                     : expected == 'R' ? Resist
                                                       : 0;
                EXPECT_EQ(materialAt(*volume, x, y, z), material)
                    << "column " << x << " (" << columns[x] << ") z " << z;
            }
}

TEST(Photolithography, WithoutMasksTheNegativeResistStaysWhole) {
    auto volume = columnScene(Negative);
    const auto before = materialsOf(*volume);
    develop(*volume, Negative);
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST(Photolithography, OutsideASmallImageLightPassesAndTheNegativeResistInvertsEverything) {
    // Silicon, one layer of resist, empty above; the top mask is opaque only over (0, 0).
    const auto scene = [](int resist) {
        return makeVolume(4, 4, 3, [resist](int, int, int z) {
            return z == 0 ? Silicon : z == 1 ? resist : 0;
        });
    };
    const Mask top = maskOf(2, 2, [](unsigned x, unsigned y) { return x == 0 && y == 0; });

    auto positive = scene(Resist);
    develop(*positive, Resist, top);
    auto negative = scene(Negative);
    develop(*negative, Negative, top);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y) {
            const bool underOpaque = x == 0 && y == 0;
            EXPECT_EQ(materialAt(*positive, x, y, 1), underOpaque ? Resist : 0) << x << "," << y;
            EXPECT_EQ(materialAt(*negative, x, y, 1), underOpaque ? 0 : Negative) << x << "," << y;
            EXPECT_EQ(materialAt(*positive, x, y, 0), Silicon);
        }
}

TEST(Photolithography, PixelsBeyondTheVolumeAreIgnoredAndBitsAreIndexedByImageHeight) {
    auto volume = makeVolume(4, 3, 3, [](int, int, int z) {
        return z == 0 ? Silicon : z == 1 ? Resist : 0;
    });
    // 6 x 5 pixels over 4 x 3 columns: bit x * 5 + y, not x * 3 + y.
    const Mask top = maskOf(6, 5, [](unsigned x, unsigned y) { return (x + 2 * y) % 3 == 0; });
    develop(*volume, Resist, top);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(materialAt(*volume, x, y, 1), (x + 2 * y) % 3 == 0 ? Resist : 0)
                << x << "," << y;

    const auto grid = Photolithography::protectedColumns(top.bits, 6, 5, 4, 3, false);
    EXPECT_EQ(grid.size(), 12u) << "one entry per column of the volume, none per pixel";
}

TEST(Photolithography, AMaskWhoseBitCountDoesNotMatchItsSizeLeavesThatSideOpen) {
    auto volume = makeVolume(3, 3, 3, [](int, int, int z) {
        return z == 0 ? Silicon : z == 1 ? Negative : 0;
    });
    Mask broken = maskOf(3, 3, [](unsigned, unsigned) { return true; });
    broken.bits.pop_back();
    develop(*volume, Negative, broken);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(materialAt(*volume, x, y, 1), 0) << "open even for the negative resist";
}

TEST(Photolithography, TheBottomMaskDevelopsUpwardsAndNeverSideways) {
    // A resist film hanging under an oxide lid, empty below; the top is shut by the oxide.
    auto volume = makeVolume(3, 3, 5, [](int, int, int z) {
        return z == 0 ? 0 : z <= 2 ? Resist : z == 3 ? Oxide : 0;
    });
    const Mask bottom = maskOf(3, 3, [](unsigned x, unsigned y) { return x == 1 && y == 1; });
    develop(*volume, Resist, {}, bottom);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y) {
            const int expected = x == 1 && y == 1 ? Resist : 0;
            EXPECT_EQ(materialAt(*volume, x, y, 1), expected) << x << "," << y;
            EXPECT_EQ(materialAt(*volume, x, y, 2), expected) << x << "," << y;
            EXPECT_EQ(materialAt(*volume, x, y, 3), Oxide);
        }
}

TEST(Photolithography, EveryThreadCountGivesTheSingleStripResult) {
    const Mask top = maskOf(20, 9, [](unsigned x, unsigned y) { return (x / 2 + y) % 3 == 0; });
    const Mask bottom = maskOf(17, 7, [](unsigned x, unsigned y) { return (x * y) % 4 == 1; });
    const auto run = [&](int threads, int sizeX, int resist) {
        PoolThreads pool(threads);
        auto volume = makeVolume(sizeX, 7, 12, [resist](int x, int y, int z) {
            if ((x * 5 + y * 3 + z) % 7 == 0)
                return 0;
            return (x + y) % 5 == 0 && z == 6 ? Oxide : z % 4 == 0 ? Silicon : resist;
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
