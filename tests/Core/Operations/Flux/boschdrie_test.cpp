#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Flux/boschdrie.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Metrology/measurementquery.h"
#include "Model/Transport/fluxengine.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
namespace names = RecordParameters;
using Outcome = ProcessRecordExecutor::Outcome;
using SceneVolume = std::shared_ptr<Model::Automaton::TotalVolume>;

namespace {

constexpr int Silicon = 1, Oxide = 3, Polymer = int(passivationPolymer);
// The mask is two cells of oxide on silicon, with this much empty space above it.
constexpr int MaskTop = 80, Headroom = 6;

ProcessRecordExecutor::Result
execute(SceneVolume volume, const QVariantMap& record,
        Util::ProgressReporter& progress = Util::ProgressReporter::none()) {
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(std::move(volume));
    return executor.execute(ProcessTypes::BoschDrie, record, progress);
}

QVariantMap record(int cycles, double depth, double isotropy) {
    return {{names::material().id, Silicon},   {names::cycles, cycles},
            {names::etchDepthPerCycle, depth}, {names::passivationThickness, 1.0},
            {names::isotropy, isotropy},       {names::periodicSides, true},
            {names::raysPerCell, 48},          {names::seed, 3}};
}

// Slots along y through an oxide mask, one per [begin, end) of x; the pattern repeats across x
// (periodic sides).
SceneVolume slotScene(int sizeX, std::vector<std::pair<int, int>> openings) {
    return makeVolume(sizeX, 2, MaskTop + Headroom, [openings](int x, int, int z) {
        if (z < MaskTop - 2)
            return Silicon;
        if (z >= MaskTop)
            return 0;
        for (const auto& [begin, end] : openings)
            if (x >= begin && x < end)
                return 0;
        return Oxide;
    });
}

// Empty cells below the mask in column x.
int depthAt(Model::Automaton::TotalVolume& volume, int x) {
    int z = MaskTop - 3;
    while (z >= 0 && materialAt(volume, x, 0, z) == 0)
        --z;
    return MaskTop - 3 - z;
}

// How far the wall left of an opening that begins at x0 has receded into the silicon at
// height z (0: still at the mask's edge).
int recessAt(Model::Automaton::TotalVolume& volume, int x0, int z) {
    int x = x0;
    while (x > 0 && materialAt(volume, x - 1, 0, z) == 0)
        --x;
    return x0 - x;
}

int count(Model::Automaton::TotalVolume& volume, int material) {
    const auto cells = materialsOf(volume);
    return int(std::count(cells.begin(), cells.end(), material));
}

} // namespace

namespace {

Model::Metrology::Measurement measured(Model::Automaton::TotalVolume& volume, const QString& text) {
    QString problem;
    const auto query = Model::Metrology::MeasurementQuery::parse(text, problem);
    EXPECT_TRUE(query) << problem.toStdString();
    return query ? Model::Metrology::measure(volume, *query)
                 : Model::Metrology::Measurement::noAnswer(problem);
}

double quantity(const Model::Metrology::Measurement& m, const char* key) {
    for (const auto& q : m.quantities)
        if (q.key == QLatin1String(key))
            return q.value;
    return -1.0;
}

} // namespace

// The scallop one cycle cuts into a flat wall, from the model's own terms: the floor at the
// wall's foot, which takes `foot` of the open field's neutrals, clears the cycle's row k (of
// n = d / e) at k·e / (foot·r) and the bare wall there recedes at i·foot·r until d / r, by
// i·(foot·d − k·e); the top row holds the deepest recess and a cell changes once it holds half
// its edge at the end.
int toothDepth(double isotropy, int perCycle, double foot = 1.0) {
    return int(std::floor(isotropy * (foot * perCycle - 1) + 0.5));
}

// The neutrals on the floor beside the mask's edge at x0 over those of the open field at x1,
// before the first cycle.
double footFlux(Model::Automaton::TotalVolume& volume, int x0, int x1) {
    Model::Transport::FluxSettings neutrals;
    neutrals.sticking = 0.1;
    neutrals.periodicSides = true;
    neutrals.raysPerCell = 2000;
    const auto flux = Model::Transport::FluxEngine::compute(volume, neutrals);
    const auto at = [&](int x) {
        return flux.totalFlux(std::size_t(flux.topOfColumn(unsigned(x), 0)));
    };
    return at(x0) / at(x1);
}

// An opening far wider than it ends deep: the field's depth, no film left and an undercut no
// larger than the first cycle's tooth.
TEST(BoschDrie, WideOpeningEtchesCyclesTimesDepthWithBoundedUndercut) {
    const double isotropy = 0.4;
    const int perCycle = 2;
    for (const int cycles : {10, 20}) {
        SCOPED_TRACE(cycles);
        const SceneVolume volume = slotScene(140, {{20, 120}});
        ASSERT_TRUE(execute(volume, record(cycles, perCycle, isotropy)).isDone());
        EXPECT_NEAR(depthAt(*volume, 70), cycles * perCycle, 2);
        EXPECT_EQ(count(*volume, Polymer), 0) << "the film is stripped at the end";
        int maxRecess = 0;
        for (int z = MaskTop - 2 - cycles * perCycle; z < MaskTop - 2; ++z)
            maxRecess = std::max(maxRecess, recessAt(*volume, 20, z));
        EXPECT_LE(maxRecess, toothDepth(isotropy, perCycle)) << "undercut beyond the first cycle's";
    }
}

// The wall's mean angle below the first cycle, whose tooth is the mask's undercut, and above
// the floor's rounded foot. With as much etch sideways as down each cycle's floor opens at the
// last one's bottom edge and the teeth stack straight down (read through the teeth's means);
// at the isotropy a comb is etched with the teeth are a cell and the wall a plain line.
TEST(BoschDrie, WideOpeningWallStandsVertical) {
    const int perCycle = 3;
    const struct {
        double isotropy;
        int cycles;
        const char* entry;
        int footCycles;
    } cases[] = {{1.0, 10, "scallop", 1}, {1.0, 20, "scallop", 1}, {0.4, 10, "angle", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.isotropy);
        SCOPED_TRACE(c.cycles);
        const SceneVolume volume = slotScene(140, {{20, 120}});
        ASSERT_TRUE(execute(volume, record(c.cycles, perCycle, c.isotropy)).isDone());
        // Between the first cycle's tooth and the floor's foot, wherever the floor got to.
        const int bottom = MaskTop - 2 - depthAt(*volume, 22);
        const auto wall = measured(*volume, QStringLiteral("%1:Si@-x,40,1,%2..%3")
                                                .arg(QLatin1String(c.entry))
                                                .arg(bottom + c.footCycles * perCycle)
                                                .arg(MaskTop - 2 - perCycle - 0.5));
        ASSERT_TRUE(wall.hasAnswer()) << wall.reason.toStdString();
        const double angle = QLatin1String(c.entry) == QLatin1String("scallop")
                                 ? quantity(wall, "angle")
                                 : wall.quantities.front().value;
        EXPECT_NEAR(angle, 90.0, 1.0);
    }
}

// A wall cut as a saw tooth, recessed by (z mod 8) / 2 cells (0 to 3) on a vertical mean: the
// measurement's depth, period and angle are those of the tooth.
TEST(BoschDrie, ScallopMeasurementReadsASawToothWall) {
    const auto volume = makeVolume(
        20, 2, 72, [](int x, int, int z) { return z < 64 && x < 8 - (z % 8) / 2 ? Silicon : 0; });
    // Over eight teeth the mean line leans by well under a degree.
    const auto scallop = measured(*volume, QStringLiteral("scallop:Si@-x,15,1,0..63.5"));
    ASSERT_TRUE(scallop.hasAnswer()) << scallop.reason.toStdString();
    EXPECT_NEAR(scallop.quantities.front().value, 3.0, 0.5);
    EXPECT_NEAR(quantity(scallop, "period"), 8.0, 0.5);
    EXPECT_NEAR(quantity(scallop, "angle"), 90.0, 1.0);
    // A window that begins half-way up a tooth: a line through its layers leans by nearly two
    // degrees; the line through the whole teeth's means stays vertical.
    const auto part = measured(*volume, QStringLiteral("scallop:Si@-x,15,1,4..27.5"));
    ASSERT_TRUE(part.hasAnswer()) << part.reason.toStdString();
    EXPECT_NEAR(part.quantities.front().value, 3.0, 0.5);
    EXPECT_NEAR(quantity(part, "period"), 8.0, 0.5);
    EXPECT_NEAR(quantity(part, "angle"), 90.0, 1.0);
    // A straight wall has no in-and-out and no period; a wall the point does not face, no
    // answer.
    const auto straight =
        makeVolume(20, 2, 40, [](int x, int, int z) { return z < 32 && x < 8 ? Silicon : 0; });
    const auto flat = measured(*straight, QStringLiteral("scallop:Si@-x,15,1,0..31.5"));
    ASSERT_TRUE(flat.hasAnswer());
    EXPECT_EQ(flat.quantities.front().value, 0.0);
    EXPECT_LT(quantity(flat, "period"), 0.0);
    EXPECT_FALSE(measured(*straight, QStringLiteral("scallop:Si@x,15,1,0..31.5")).hasAnswer());
}

// Each cycle's tooth on a flat wall: as deep as the closed form, one cycle apart, deeper with
// the isotropy; a single cycle undercuts the mask by the same tooth. The isotropies put
// i·(foot·d − e) away from the half cell where the rounding turns (foot ≈ 0.94 here).
TEST(BoschDrie, ScallopsAreTheClosedFormToothOnePerCycle) {
    const int perCycle = 6, cycles = 3;
    double last = -1.0;
    for (const double isotropy : {0.5, 0.9, 1.0}) {
        SCOPED_TRACE(isotropy);
        const SceneVolume volume = slotScene(120, {{20, 100}});
        const double foot = footFlux(*volume, 20, 60);
        ASSERT_TRUE(execute(volume, record(cycles, perCycle, isotropy)).isDone());
        const auto scallop = measured(*volume, QStringLiteral("scallop:Si@-x,40,1,%1..%2")
                                                   .arg(MaskTop - 2 - 2 * perCycle)
                                                   .arg(MaskTop - 2.5));
        ASSERT_TRUE(scallop.hasAnswer()) << scallop.reason.toStdString();
        const double depth = scallop.quantities.front().value;
        EXPECT_NEAR(depth, toothDepth(isotropy, perCycle, foot), 1.0);
        EXPECT_NEAR(quantity(scallop, "period"), perCycle, 1.0);
        EXPECT_GT(depth, last);
        last = depth;

        const SceneVolume once = slotScene(120, {{20, 100}});
        QVariantMap oneRecord = record(1, perCycle, isotropy);
        oneRecord[names::raysPerCell] = 400;
        ASSERT_TRUE(execute(once, oneRecord).isDone());
        EXPECT_NEAR(depthAt(*once, 60), perCycle, 1);
        EXPECT_NEAR(recessAt(*once, 20, MaskTop - 3), toothDepth(isotropy, perCycle, foot), 1);
        for (int z = MaskTop - 3; z > MaskTop - 3 - perCycle; --z)
            EXPECT_LE(recessAt(*once, 20, z), toothDepth(isotropy, perCycle, foot));
    }
}

// Three gaps after the same cycles: deeper where they are wider, and each as deep as the
// bottom flux the engine gives along the way says (both over the middle half of the gap's
// floor, where its own walls' feet do not reach).
TEST(BoschDrie, NarrowGapsLagAsTheirBottomFluxSays) {
    const double isotropy = 0.6;
    const int perCycle = 3, cycles = 8;
    const int gaps[3][2] = {{6, 10}, {20, 28}, {40, 56}};
    const auto middle = [&](int g) {
        const int quarter = (gaps[g][1] - gaps[g][0]) / 4;
        return std::pair{gaps[g][0] + quarter, gaps[g][1] - quarter};
    };
    const SceneVolume volume = slotScene(64, {{6, 10}, {20, 28}, {40, 56}});
    double predicted[3] = {};
    for (int c = 0; c < cycles; ++c) {
        // The velocity each gap's floor receives now.
        Model::Transport::FluxSettings ions, neutrals;
        ions.sourceExponent = 1000.0;
        neutrals.sticking = 0.1;
        ions.periodicSides = neutrals.periodicSides = true;
        ions.raysPerCell = neutrals.raysPerCell = 400;
        const auto ion = Model::Transport::FluxEngine::compute(*volume, ions);
        const auto neutral = Model::Transport::FluxEngine::compute(*volume, neutrals);
        for (int g = 0; g < 3; ++g) {
            const auto [begin, end] = middle(g);
            double flux = 0.0;
            for (int column = begin; column < end; ++column) {
                const std::ptrdiff_t k = ion.topOfColumn(unsigned(column), 0);
                const std::ptrdiff_t j = neutral.topOfColumn(unsigned(column), 0);
                flux += ((1 - isotropy) * ion.totalFlux(std::size_t(k)) +
                         isotropy * neutral.totalFlux(std::size_t(j))) /
                        (end - begin);
            }
            predicted[g] += perCycle * std::min(1.0, flux);
        }
        QVariantMap one = record(1, perCycle, isotropy);
        one[names::seed] = c;
        ASSERT_TRUE(execute(volume, one).isDone());
    }
    double depth[3] = {};
    for (int g = 0; g < 3; ++g) {
        const auto [begin, end] = middle(g);
        for (int column = begin; column < end; ++column)
            depth[g] += double(depthAt(*volume, column)) / (end - begin);
    }
    EXPECT_LT(depth[0], depth[1]);
    EXPECT_LT(depth[1], depth[2]);
    EXPECT_NEAR(depth[0] / depth[2], predicted[0] / predicted[2],
                0.1 * predicted[0] / predicted[2]);
}

TEST(BoschDrie, EveryThreadCountGivesTheSameCellsAndBadRecordsChangeNothing) {
    std::vector<int> first;
    for (const int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        const PoolThreads pool(threads);
        const SceneVolume volume = slotScene(40, {{10, 16}, {24, 34}});
        QVariantMap kept = record(3, 3, 0.5);
        kept[names::stripPassivation] = false;
        ASSERT_TRUE(execute(volume, kept).isDone());
        if (first.empty())
            first = materialsOf(*volume);
        else
            EXPECT_EQ(materialsOf(*volume), first);
    }
    EXPECT_GT(std::count(first.begin(), first.end(), Polymer), 0) << "the film is kept";

    const SceneVolume volume = slotScene(40, {{10, 16}});
    const auto before = materialsOf(*volume);
    const struct {
        const QString& name;
        QVariant value;
        const char* reason;
    } bad[] = {{names::cycles, 0, "cycles"},
               {names::isotropy, 1.5, "isotropy"},
               {names::passivationThickness, 0.0, "passivation thickness"},
               {names::etchDepthPerCycle, -1.0, "etch depth"},
               {names::etchDepthPerCycle, 0.5, "at least one cell"},
               {names::material().id, Polymer, "passivation polymer"}};
    for (const auto& c : bad) {
        SCOPED_TRACE(c.reason);
        QVariantMap wrong = record(2, 3, 0.5);
        wrong[c.name] = c.value;
        const auto result = execute(volume, wrong);
        EXPECT_FALSE(result.isDone());
        EXPECT_TRUE(result.problem.contains(QLatin1String(c.reason)))
            << result.problem.toStdString();
        EXPECT_EQ(materialsOf(*volume), before);
    }
}

namespace {

// Cancels in the middle of the second cycle.
class CancelInSecondCycle : public Util::ProgressReporter {
public:
    void advance(std::uint64_t) override { cancelled = ++phases >= 4; }
    bool wasCancelled() const override { return cancelled; }

private:
    int phases = 0;
    bool cancelled = false;
};

struct BoschOperationTest : VolumeOperationTest {
    void SetUp() override { useVolume(slotScene(40, {{10, 20}})); }
};

} // namespace

TEST_F(BoschOperationTest, StepUndoesRedoesAndACancelledRunLeavesTheCells) {
    const auto original = materialsOf(*volume);
    BoschRecipe recipe;
    recipe.cycles = 2;
    recipe.etchDepthPerCycle = 3.0;
    recipe.passivationThickness = 1.0;
    recipe.periodicSides = true;
    recipe.raysPerCell = 16;
    auto drie = selected<BoschDrieOperation>();
    drie->setRecipe(recipe);
    drie->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Bosch DRIE: Operation finished."));
    const auto etched = materialsOf(*volume);
    ASSERT_NE(etched, original);
    EXPECT_EQ(drie->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    drie->redo();
    EXPECT_EQ(materialsOf(*volume), etched);

    CancelInSecondCycle cancel;
    EXPECT_EQ(execute(volume, record(3, 3, 0.5), cancel).outcome, Outcome::Cancelled);
    EXPECT_EQ(materialsOf(*volume), etched);
}

} // namespace CELLVANE_TEST_FILE
