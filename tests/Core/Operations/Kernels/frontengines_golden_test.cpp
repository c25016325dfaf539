// Every front engine against fingerprints of its cells' materials saved from a reference build,
// for several thread counts: a faster kernel, or another layout of the cells, must give the
// same materials.
#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"
#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"
#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodetching.h"
#include "Core/Operations/SiOxidation/simplesioxidation.h"
#include "support/fingerprint.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <functional>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
using Model::Automaton::TotalVolume;

namespace {

constexpr int Silicon = 1, Nitride = 2, Oxide = 3, Film = 7, Doped = 14;

// A trench in silicon under an oxide film, a nitride bridge across the trench (an overhang),
// a buried cavity and a nitride pillar: tops, walls, undersides, masks and enclosed space.
int trenchWithBridge(int x, int y, int z) {
    const bool inTrench = x >= 9 && x < 17;
    const int siliconTop = inTrench ? 5 : 10;
    if (x >= 3 && x < 6 && y >= 3 && y < 6 && z >= 3 && z < 6)
        return 0; // cavity
    if (z < siliconTop)
        return Silicon;
    if (z < siliconTop + 2)
        return Oxide;
    if (y >= 4 && y < 10 && x >= 7 && x < 19 && z >= 14 && z < 16)
        return Nitride; // bridge
    if (x >= 20 && x < 23 && y >= 12 && y < 15 && z < 17)
        return Nitride; // pillar
    return 0;
}

struct Scene {
    const char* name;
    float cellSize[3];
};
const Scene scenes[] = {{"unit cells", {1.f, 1.f, 1.f}}, {"stretched cells", {0.7f, 1.f, 1.6f}}};

struct EngineCase {
    const char* name;
    std::function<void(TotalVolume&)> run;
    std::uint64_t materials[2]; // per scene
};

const EngineCase engines[] = {
    {"isotropic deposition",
     [](TotalVolume& v) { IsotropicFilmDeposition(v, Film, 3.5f).runDeposition(); },
     {0x56b48511025ab0e6ull, 0x624ebe8915be6926ull}},
    {"isotropic etching of silicon",
     [](TotalVolume& v) { IsotropicFilmEtching(v, Silicon, 2.5f).runEtching(); },
     {0x8824df70e90be7a7ull, 0x77a852d6ee3ca187ull}},
    {"isotropic etching of oxide",
     [](TotalVolume& v) { IsotropicFilmEtching(v, Oxide, 1.5f).runEtching(); },
     {0x7bc62d0214ebbc75ull, 0x2bf2a6094a390646ull}},
    {"electroplating on oxide",
     [](TotalVolume& v) { Electrodeposition(v, Film, Oxide, 3.f).runDeposition(); },
     {0xbd34d658831432d1ull, 0x34e8239eb9369881ull}},
    {"Moore deposition",
     [](TotalVolume& v) { MooreNeighborhoodDeposition(v, Film, 3).runDeposition(); },
     {0x017bb61b08ade071ull, 0x017bb61b08ade071ull}},
    {"Moore etching",
     [](TotalVolume& v) { MooreNeighborhoodEtching(v, Silicon, 2).runEtching(); },
     {0x853433f7c66ab807ull, 0x853433f7c66ab807ull}},
    {"doping",
     [](TotalVolume& v) { SimpleDoping(v, Doped, 2.5f).runDoping(); },
     {0xd543de9d17c3a6a9ull, 0x301da9f27e5db2c9ull}},
    {"ion implantation",
     [](TotalVolume& v) { IonImplantation(v, Doped, 3.f, 1.5f).runImplantation(); },
     {0xc9617bf7b6367369ull, 0x52be462a58cdb7c6ull}},
    {"anisotropic deposition on tops and bottoms",
     [](TotalVolume& v) {
         AnisotropicFilmDeposition(v, Film, 4.f, 0.5f, AnisotropicFilmDeposition::OnTopAndBottom)
             .runDeposition();
     },
     {0x8d34aa6a222fdf26ull, 0x69ed73dfb9416c51ull}},
    {"anisotropic deposition on tops",
     [](TotalVolume& v) {
         AnisotropicFilmDeposition(v, Film, 3.f, 1.f, AnisotropicFilmDeposition::OnTop)
             .runDeposition();
     },
     {0xb96743fd29ad6096ull, 0xcf368155483fd426ull}},
    {"thermal oxidation",
     [](TotalVolume& v) { SimpleSiOxidation(v, 1.0).oxidateTo(3.0); },
     {0x54018758245fa1a6ull, 0x756e76e772579fa5ull}},
};

} // namespace

TEST(FrontEnginesGolden, EveryCellsMaterialMatchesTheSavedResultForAnyThreadCount) {
    for (const EngineCase& engine : engines) {
        for (std::size_t s = 0; s < std::size(scenes); ++s) {
            for (const int threads : {1, 2, 3, 8}) {
                const PoolThreads pool(threads);
                const float* c = scenes[s].cellSize;
                auto volume = makeVolume(26, 18, 20, trenchWithBridge, c[0], c[1], c[2]);
                engine.run(*volume);
                const std::uint64_t actual = materialsFingerprint(*volume);
                EXPECT_EQ(actual, engine.materials[s])
                    << engine.name << ", " << scenes[s].name << ", " << threads << " threads";
                if (actual != engine.materials[s])
                    std::printf("golden %s / %s: 0x%016" PRIx64 "ull\n", engine.name,
                                scenes[s].name, actual);
            }
        }
    }
}

} // namespace CELLVANE_TEST_FILE
