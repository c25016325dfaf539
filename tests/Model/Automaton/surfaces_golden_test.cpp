// The painter's faces and triangles for every algorithm against fingerprints saved from a
// reference build, for several build thread counts: a faster builder must give the same lists.
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "Model/Materials/materialfactory.h"
#include "support/fingerprint.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Automaton::TotalVolumePainter;
using testing_support::Fingerprint;

namespace {

// A trench under an oxide film with a copper bridge across it, plus a scatter of gold and
// silicon cells: every corner configuration of marching cubes turns up somewhere.
int trenchWithScatter(int x, int y, int z) {
    const unsigned hash =
        (unsigned(x) * 73856093u) ^ (unsigned(y) * 19349663u) ^ (unsigned(z) * 83492791u);
    if (z >= 14 && hash % 7 == 0)
        return hash % 2 ? 9 : 1;
    const int siliconTop = x >= 8 && x < 15 ? 4 : 9;
    if (z < siliconTop)
        return 1;
    if (z < siliconTop + 2)
        return 3;
    if (y >= 3 && y < 9 && x >= 6 && x < 17 && z >= 12 && z < 14)
        return 5;
    return 0;
}

struct Case {
    const char* name;
    int algorithm;
    bool emptyOutlines;
    bool cut;
    float cellSize[3];
    std::uint64_t expected;
};

const Case cases[] = {
    {"direct cubic",
     TotalVolumePainter::DirectCubic,
     false,
     false,
     {1, 1, 1},
     0x697a41729cd78b8dull},
    {"direct cubic with outlines, cut",
     TotalVolumePainter::DirectCubic,
     true,
     true,
     {0.7f, 1, 1.6f},
     0x079e8199b3e48f2bull},
    {"marching cubes",
     TotalVolumePainter::MarchingCubes,
     false,
     false,
     {1, 1, 1},
     0x3a05385f7e69b79aull},
    {"marching cubes, stretched",
     TotalVolumePainter::MarchingCubes,
     false,
     false,
     {0.7f, 1, 1.6f},
     0xfe2553f9c6b22657ull},
    {"marching cubes, cut",
     TotalVolumePainter::MarchingCubes,
     false,
     true,
     {1, 1, 1},
     0x74aa1e78d61320f8ull},
    {"octree", TotalVolumePainter::Octree, false, false, {1, 1, 1}, 0x1c4ac55f291685f3ull},
    {"octree, cut",
     TotalVolumePainter::Octree,
     false,
     true,
     {0.7f, 1, 1.6f},
     0x3d80e5811a9ce074ull},
};

std::uint64_t surfaceFingerprint(TotalVolume& volume, TotalVolumePainter& painter) {
    Fingerprint f;
    const Model::Automaton::CellArraysLock cells(volume,
                                                 Model::Automaton::CellArraysLock::Arrays::Current);
    f.addFaces(painter, painter.getOpaqueFaces(), true);
    f.addFaces(painter, painter.getTransparentFaces(), true);
    f.addFaces(painter.getEmptyVoxelFaces(), true);
    f.addTriangles(painter.getMarchingCubes().getTriangles());
    f.addFaces(painter.getOctree().getOpaqueFaces(), true);
    f.addFaces(painter.getOctree().getTransparentFaces(), true);
    return f.value;
}

} // namespace

TEST(SurfacesGolden, FacesAndTrianglesMatchTheSavedListsForAnyThreadCount) {
    // The colours of the built-in table: a settings file keeps them only to 8 bits.
    Model::Materials::MaterialFactory::getInstance()->createDefaultMaterials();
    for (const Case& c : cases) {
        for (const int threads : {1, 2, 3, 8}) {
            auto volume = testing_support::makeVolume(23, 13, 19, trenchWithScatter, c.cellSize[0],
                                                      c.cellSize[1], c.cellSize[2]);
            TotalVolumePainter& painter = volume->getPainter();
            painter.setBuildThreads(threads);
            painter.setAlgorithm(c.algorithm);
            painter.setRenderEmptyVoxelOutlines(c.emptyOutlines);
            if (c.cut)
                painter.setCutLimits({2, 1, 3}, {19, 11, 16});
            painter.rebuild();
            const std::uint64_t actual = surfaceFingerprint(*volume, painter);
            EXPECT_EQ(actual, c.expected) << c.name << ", " << threads << " threads";
            if (actual != c.expected)
                std::printf("golden %s: 0x%016" PRIx64 "ull\n", c.name, actual);
        }
    }
}

} // namespace CELLVANE_TEST_FILE
