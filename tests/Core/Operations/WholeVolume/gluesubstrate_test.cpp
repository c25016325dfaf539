#include "Core/Operations/WholeVolume/gluesubstrateoperation.h"
#include "Model/Automaton/volumebudget.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using Model::Automaton::TotalVolume;
using testing_support::makeVolume;
using testing_support::materialAt;

namespace {

// A base whose silicon fills the two lowest layers, with one oxide marker on top, and a
// smaller top whose film occupies layers 3 and 4 only, marked at one corner.
struct GlueTest : testing_support::VolumeOperationTest {
    std::shared_ptr<TotalVolume> base = makeVolume(6, 4, 7, [](int x, int y, int z) {
        return z < 2 ? 1 : (x == 1 && y == 2 && z == 2 ? 4 : 0);
    });
    std::shared_ptr<TotalVolume> top = makeVolume(
        5, 4, 9,
        [](int x, int y, int z) {
            if (z < 3 || z > 4)
                return 0;
            return x == 0 && y == 1 && z == 3 ? 7 : 3;
        },
        0.5f, 2.f, 1.f);

    void SetUp() override {
        base->translate(Util::Vector3D(3, 4, 5));
        useVolume(base);
        context.document->addObject(top);
    }

    std::shared_ptr<GlueSubstrateOperation> chosen() {
        auto glue = std::make_shared<GlueSubstrateOperation>(context);
        context.currentOperation = glue;
        glue->setVolumes(base, top);
        return glue;
    }

    std::shared_ptr<TotalVolume> glued(int finalZ, int dx, int dy, bool invert) {
        auto glue = chosen();
        glue->setFinalSize(glue->getMinimumFinalX(), glue->getMinimumFinalY(), finalZ);
        glue->setDisplacement(dx, dy);
        glue->setInvert(invert);
        glue->end();
        return glue->getResult();
    }

    // Where a top cell (x, y, z) lands: its band starts right on the base's height of 3.
    static std::array<int, 3> landing(int x, int y, int z, int dx, int dy, bool invert) {
        const int band = z - 3;
        return invert ? std::array<int, 3>{5 - 1 - x + dx, y + dy, 3 + (1 - band)}
                      : std::array<int, 3>{x + dx, y + dy, 3 + band};
    }
};

} // namespace

TEST_F(GlueTest, LayoutRestsTheTopsOccupiedBandOnTheBasesHighestLayer) {
    auto glue = chosen();
    const GlueLayout& layout = glue->getLayout();
    EXPECT_EQ(layout.baseHeight, 3u);
    EXPECT_EQ(layout.bandBegin, 3u);
    EXPECT_EQ(layout.bandEnd, 5u);
    EXPECT_EQ(glue->getMinimumFinalX(), 6);
    EXPECT_EQ(glue->getMinimumFinalY(), 4);
    EXPECT_EQ(glue->getMinimumFinalZ(), 5);
    EXPECT_EQ(glue->getFinalZ(), 6) << "one spare layer by default";
    EXPECT_EQ(glue->getMaximumDisplacementX(), 1);
    EXPECT_EQ(glue->getMaximumDisplacementY(), 0);
    EXPECT_EQ(layout.cellSizeX, 1.f);
    EXPECT_EQ(layout.cellSizeY, 2.f);
}

TEST_F(GlueTest, GluedCellsLandWhereTheLayoutSaysWithAndWithoutInversion) {
    for (const bool invert : {false, true}) {
        SCOPED_TRACE(invert ? "inverted" : "upright");
        const auto result = glued(8, 1, 0, invert);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->getSizeZ(), 8u);
        std::vector<int> expected(6 * 4 * 8, 0);
        const auto at = [](int x, int y, int z) { return std::size_t(x * 4 * 8 + y * 8 + z); };
        for (int x = 0; x < 6; ++x)
            for (int y = 0; y < 4; ++y)
                for (int z = 0; z < 3; ++z)
                    expected[at(x, y, z)] = materialAt(*base, x, y, z);
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 4; ++y)
                for (int z = 3; z < 5; ++z) {
                    const auto to = landing(x, y, z, 1, 0, invert);
                    expected[at(to[0], to[1], to[2])] = materialAt(*top, x, y, z);
                }
        EXPECT_EQ(testing_support::materialsOf(*result), expected);
        EXPECT_EQ(materialAt(*result, 0, 0, 5), 0) << "layers above the stack stay free";
        EXPECT_EQ(result->getPosition().x, 3.0) << "the result stands where the base stood";
        EXPECT_EQ(result->getCellSizeY(), 2.f);
        EXPECT_FALSE(result->getPainter().getOpaqueFaces().empty());
        // Put the two volumes back for the next round.
        context.document->removeObject(result);
        context.document->addObject(base);
        context.document->addObject(top);
    }
    EXPECT_EQ(log->lines.filter(QStringLiteral("Glue Volumes: volumes glued.")).size(), 2);
    // The top's half-cell x and double-cell y are the stack's whole cells: said after each glue.
    EXPECT_EQ(log->lines
                  .filter(QStringLiteral("Glue Volumes: note: the base's cells of 1 x 1 x 1 µm "
                                         "become the stack's 1 x 2 x 1 µm"))
                  .size(),
              2);
}

// Only what the stack changes is said: nothing for twins, the orientation the top gives up.
TEST_F(GlueTest, TheStackSaysWhichCellsItStretchesAndWhichOrientationItDrops) {
    const auto twin = makeVolume(6, 4, 7, [](int, int, int z) { return z < 2 ? 1 : 0; });
    EXPECT_EQ(GlueLayout::changesOf(*base, *twin, GlueLayout::of(*base, *twin)), QString());
    twin->setCrystalOrientation(Model::Automaton::CrystalOrientation::Surface110);
    EXPECT_EQ(GlueLayout::changesOf(*base, *twin, GlueLayout::of(*base, *twin)),
              QStringLiteral("the top's (110) silicon takes the base's crystal orientation (100) "
                             "and a wet etch treats it as such"));
    const QString both = GlueLayout::changesOf(*base, *top, GlueLayout::of(*base, *top));
    EXPECT_TRUE(both.contains(QStringLiteral("the top's cells of 0.5 x 2 x 1 µm become the "
                                             "stack's 1 x 2 x 1 µm")))
        << both.toStdString();
}

TEST_F(GlueTest, UndoPutsBaseAndTopBackAndRedoTheResult) {
    auto glue = chosen();
    glue->end();
    const auto result = glue->getResult();
    ASSERT_TRUE(result);
    EXPECT_EQ(host.finished, 1);
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{result}));
    EXPECT_EQ(glue->undo(), 1);
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{base, top}));
    glue->redo();
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{result}));
}

TEST_F(GlueTest, SameResultForEveryThreadCount) {
    base =
        makeVolume(40, 5, 6, [](int x, int y, int z) { return z <= (x + y) % 4 ? 1 + x % 3 : 0; });
    top =
        makeVolume(33, 5, 6, [](int x, int y, int z) { return z >= 2 && (x * y + z) % 5 ? 3 : 0; });
    for (const bool invert : {false, true}) {
        std::vector<int> reference;
        for (const int threads : {1, 2, 3, 8}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, inverted " << invert);
            const testing_support::PoolThreads pool(threads);
            const auto result = glued(12, 4, 0, invert);
            ASSERT_TRUE(result);
            const auto cells = testing_support::materialsOf(*result);
            if (reference.empty())
                reference = cells;
            else
                EXPECT_EQ(cells, reference);
        }
    }
}

TEST_F(GlueTest, PlacementsOutsideTheResultAreRefusedBeforeWriting) {
    struct Case {
        const char* what;
        int x, y, z, dx, dy;
    };
    const Case cases[] = {
        {"narrower than the base", 5, 4, 6, 0, 0}, {"displaced past the edge", 6, 4, 6, 2, 0},
        {"negative displacement", 6, 4, 6, 0, -1}, {"lower than the stack", 6, 4, 4, 0, 0},
        {"no cells at all", 0, 4, 6, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto glue = chosen();
        glue->setFinalSize(c.x, c.y, c.z);
        glue->setDisplacement(c.dx, c.dy);
        glue->end();
        EXPECT_FALSE(glue->getResult());
        EXPECT_TRUE(log->lines.last().startsWith(QStringLiteral("Glue Volumes: The ")));
        EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{base, top}));
    }
    EXPECT_EQ(prompts.messages.size(), 5);
    EXPECT_EQ(host.cancelled, 5);
    EXPECT_EQ(host.finished, 0);
}

TEST_F(GlueTest, ResultTooLargeForMemoryIsRefusedWithAMessage) {
    auto glue = chosen();
    glue->setFinalSize(6, 4, 2000000);
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(1 << 20);
    glue->end();
    Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
    EXPECT_FALSE(glue->getResult());
    EXPECT_TRUE(log->lines.last().contains(QStringLiteral("GiB")));
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{base, top}));
}

TEST_F(GlueTest, PicksTheBaseThenADifferentTopAndOpensTheDialog) {
    struct Dialog : Util::IObserver {
        int opened = 0;
        void update() override { ++opened; }
    };
    auto dialog = std::make_shared<Dialog>();
    auto glue = std::make_shared<GlueSubstrateOperation>(context);
    glue->setObserver(dialog);
    context.currentOperation = glue;
    glue->step();
    EXPECT_EQ(log->lines.last(),
              QStringLiteral("Glue Volumes: select the base cell volume and press Enter/Return."));
    EXPECT_TRUE(context.selection.isSelectionMode());
    context.selection.toggle(base);
    context.consoleInput.processInput(QString());
    context.consoleInput.processInput(QString()); // Enter with only the base selected
    EXPECT_EQ(log->lines.mid(1),
              (QStringList{
                  "Glue Volumes: base cell volume selected. Select top cell volume and press enter",
                  "Glue Volumes: select the top cell volume and press Enter/Return.",
                  "Glue Volumes: select the top cell volume and press Enter/Return."}));
    context.selection.toggle(top);
    context.consoleInput.processInput(QString());
    EXPECT_EQ(log->lines.last(), QStringLiteral("Glue Volumes: top cell volume selected."));
    EXPECT_EQ(glue->getBase(), base);
    EXPECT_EQ(glue->getTop(), top);
    EXPECT_FALSE(context.selection.isSelectionMode());
    EXPECT_EQ(dialog->opened, 1);
    EXPECT_EQ(glue->getCounter(), GlueSubstrateOperation::WaitingForDialog);

    auto ontoItself = chosen();
    ontoItself->setVolumes(base, base);
    ontoItself->end();
    EXPECT_FALSE(ontoItself->getResult());
    EXPECT_EQ(host.cancelled, 1) << "a volume glued onto itself cancels quietly";
    EXPECT_EQ(context.document->getObjects(), (Model::ObjectList{base, top}));
}

} // namespace CELLVANE_TEST_FILE
