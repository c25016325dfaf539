#include "Core/Operations/WholeVolume/cutcellvolumeoperation.h"
#include "Core/Operations/WholeVolume/extractfilm.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;
using testing_support::materialAt;

namespace {

// Silicon below, and two separate pieces of nitride (3) above it: a slab at x 0..1 on layers
// 2..3, and a single cell at x 4 on layer 4.
int twoPieces(int x, int, int z) {
    if (z < 2)
        return 1;
    if (x <= 1 && z <= 3)
        return 3;
    return x == 4 && z == 4 ? 3 : 0;
}

struct ExtractTest : testing_support::VolumeOperationTest {
    void SetUp() override { useVolume(makeVolume(6, 3, 6, twoPieces, 1.f, 2.f, 0.5f)); }

    std::shared_ptr<ExtractFilm> extracted(int material, bool invert) {
        auto extract = selected<ExtractFilm>();
        extract->setFilmMaterialId(material);
        extract->setInvert(invert);
        extract->end();
        return extract;
    }
};

} // namespace

TEST_F(ExtractTest, CopiesOnlyThePieceOfTheFirstFilmCellAndLowersItToTheBottom) {
    const auto before = testing_support::materialsOf(*volume);
    auto extract = extracted(3, false);
    EXPECT_EQ(log->lines, (QStringList{"Extract Film: cell volume selected.",
                                       "Extract Film: film extracted."}));
    const auto film = extract->getResult();
    ASSERT_TRUE(film);
    int cells = 0;
    for (int x = 0; x < 6; ++x)
        for (int y = 0; y < 3; ++y)
            for (int z = 0; z < 6; ++z) {
                const int expected = x <= 1 && z <= 1 ? 3 : 0;
                EXPECT_EQ(materialAt(*film, x, y, z), expected) << x << "," << y << "," << z;
                cells += expected != 0;
            }
    EXPECT_EQ(cells, 12) << "the single cell at x 4 is another piece and stays behind";
    EXPECT_EQ(testing_support::materialsOf(*volume), before) << "the source is not changed";
    EXPECT_EQ(film->getPosition().x, (6 + 10) * 2.0) << "beside the volume, by the largest cell";
    EXPECT_EQ(film->getCellSizeZ(), 0.5f);
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volume, film}));
    EXPECT_EQ(host.finished, 1);

    EXPECT_EQ(extract->undo(), 1);
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volume}));
    extract->redo();
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volume, film}));
}

TEST_F(ExtractTest, InversionTurnsTheFilmOverBeforeLoweringIt) {
    // A step in the film: one more layer at y 0, so that turning over shows in y and z.
    volume = makeVolume(3, 3, 6, [](int x, int y, int z) {
        return z == 1 || (y == 0 && z == 2 && x == 1) ? 3 : 0;
    });
    context.document->addObject(volume);
    const auto film = extracted(3, true)->getResult();
    ASSERT_TRUE(film);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            for (int z = 0; z < 6; ++z) {
                // Mirrored: y 0 becomes y 2, layer 2 lies below layer 1, then all drop by 3.
                const int expected = z == 1 || (y == 2 && z == 0 && x == 1) ? 3 : 0;
                EXPECT_EQ(materialAt(*film, x, y, z), expected) << x << "," << y << "," << z;
            }
}

TEST_F(ExtractTest, AMaterialTheSourceDoesNotHoldCancelsWithAMessage) {
    auto extract = extracted(5, false);
    EXPECT_FALSE(extract->getResult());
    EXPECT_TRUE(
        log->lines.last().startsWith(QStringLiteral("Extract Film: The cell volume holds no ")));
    EXPECT_TRUE(log->lines.last().endsWith(QStringLiteral("; nothing was extracted.")));
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{volume}));
    EXPECT_EQ(host.cancelled, 1);
    EXPECT_EQ(extract->undo(), 0);
}

TEST_F(ExtractTest, CutLimitsSetWithoutRebuildAreDrawnWhenTheCutEnds) {
    volume->getPainter().rebuild();
    const auto fullFaces = volume->getPainter().getOpaqueFaces().size();
    auto cut = selected<CutCellVolumeOperation>();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Change Cut Planes: Cell volume selected."));
    cut->setCutLimits({0, 0, -4}, {3, 9, 1}, false);
    CutCellVolumeOperation::Corner lower;
    CutCellVolumeOperation::Corner upper;
    cut->getCutLimits(lower, upper);
    EXPECT_EQ(lower, (CutCellVolumeOperation::Corner{0, 0, 0})) << "limits stay inside";
    EXPECT_EQ(upper, (CutCellVolumeOperation::Corner{3, 3, 1}));
    EXPECT_EQ(volume->getPainter().getOpaqueFaces().size(), fullFaces) << "not drawn yet";
    cut->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Change Cut Planes: Cut planes changed."));
    EXPECT_LT(volume->getPainter().getOpaqueFaces().size(), fullFaces);
    EXPECT_EQ(host.finished, 1);
    cut->cancel();
    EXPECT_EQ(log->lines.filter(QStringLiteral("Canceled")).size(), 0);
}

} // namespace CELLVANE_TEST_FILE
