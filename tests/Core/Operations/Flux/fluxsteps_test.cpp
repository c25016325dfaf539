#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Flux/fluxprocessoperations.h"
#include "Core/Operations/Flux/fluxsurfaceadvance.h"
#include "Core/Operations/Undo/processhistory.h"
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

namespace {

constexpr int Silicon = 1, Resist = 2, Film = 7;

// Runs one record on `volume` through the one executor of process records.
ProcessRecordExecutor::Result
execute(std::shared_ptr<Model::Automaton::TotalVolume> volume, int type, const QVariantMap& record,
        Util::ProgressReporter& progress = Util::ProgressReporter::none()) {
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(std::move(volume));
    return executor.execute(type, record, progress);
}

QVariantMap depositionRecord(double thickness, double sticking) {
    return {{names::material().id, Film},
            {names::thickness, thickness},
            {names::sourceExponent, 1.0},
            {names::sticking, sticking},
            {names::periodicSides, true},
            {names::raysPerCell, 200},
            {names::seed, 5}};
}

// Film cells stacked in column (x, y).
int filmIn(Model::Automaton::TotalVolume& volume, int x, int y) {
    int count = 0;
    for (int z = 0; z < int(volume.getSizeZ()); ++z)
        count += materialAt(volume, x, y, z) == Film ? 1 : 0;
    return count;
}

// The depth to which column (x, y) is empty below `top`.
int emptyDepth(Model::Automaton::TotalVolume& volume, int x, int y, int top) {
    int z = top - 1;
    while (z >= 0 && materialAt(volume, x, y, z) == 0)
        --z;
    return top - 1 - z;
}

// A slot 16 cells wide and 32 deep (aspect ratio 2) across the whole volume along y.
std::shared_ptr<Model::Automaton::TotalVolume> slot() {
    return makeVolume(32, 4, 48, [](int x, int, int z) {
        return z < 2 || (z < 34 && (x < 8 || x >= 24)) ? Silicon : 0;
    });
}

// Mean film thickness at the slot's bottom (its middle eight columns) over that on the field.
double coverage(Model::Automaton::TotalVolume& volume) {
    double bottom = 0.0, top = 0.0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 12; x < 20; ++x)
            bottom += filmIn(volume, x, y) / 8.0;
        for (const int x : {2, 29})
            top += filmIn(volume, x, y) / 2.0;
    }
    return bottom / top;
}

} // namespace

TEST(FluxDeposition, StepCoverageFollowsTheDirectFluxForLineOfSightAndNearsOneWhenConformal) {
    const auto lineOfSight = slot();
    ASSERT_TRUE(
        execute(lineOfSight, ProcessTypes::FluxDeposition, depositionRecord(4.0, 1.0)).isDone());
    // The open field grows rate × time within one cell.
    for (const int x : {2, 29})
        EXPECT_NEAR(filmIn(*lineOfSight, x, 1), 4, 1);
    // The slot narrows as it fills, so its bottom ends a little below the first view factor.
    const double direct = 1.0 / std::sqrt(1.0 + 4.0 * 2.0 * 2.0);
    EXPECT_GT(coverage(*lineOfSight), 0.65 * direct);
    EXPECT_LT(coverage(*lineOfSight), 1.25 * direct);

    const auto conformal = slot();
    ASSERT_TRUE(
        execute(conformal, ProcessTypes::FluxDeposition, depositionRecord(4.0, 0.01)).isDone());
    EXPECT_GT(coverage(*conformal), 0.9);
    // A film on the walls too: the cells beside the wall half way down.
    EXPECT_EQ(materialAt(*conformal, 8, 1, 18), Film);
}

TEST(FluxEtching, NarrowerTrenchesEtchSlowerAndTheOpenFieldByRateTimesTime) {
    // Silicon up to z = 12 under 4 cells of resist; a wide open field (x < 80) and trenches
    // 2, 4, 8 and 32 cells wide in the resist, 3 cells of resist between them.
    const int widths[] = {2, 4, 8, 32};
    int starts[4];
    int x = 83;
    for (int i = 0; i < 4; ++i) {
        starts[i] = x;
        x += widths[i] + 3;
    }
    const int sizeX = x;
    const auto volume = makeVolume(sizeX, 2, 18, [&](int cx, int, int z) {
        if (z < 12)
            return Silicon;
        if (z >= 16 || cx < 80)
            return 0;
        for (int i = 0; i < 4; ++i)
            if (cx >= starts[i] && cx < starts[i] + widths[i])
                return 0;
        return Resist;
    });
    // Neutrals that stick where they land remove nine tenths.
    const QVariantMap record{{names::material().id, Silicon},
                             {names::rate, 0.5},
                             {names::time, 16.0},
                             {names::ionExponent, 100.0},
                             {names::neutralSticking, 1.0},
                             {names::ionShare, 0.1},
                             {names::periodicSides, true},
                             {names::raysPerCell, 200}};
    ASSERT_TRUE(execute(volume, ProcessTypes::FluxEtching, record).isDone());
    EXPECT_NEAR(emptyDepth(*volume, 40, 0, 12), 8, 1) << "0.5 µm/min for 16 min of 1 µm cells";
    // The mean depth over the middle half of each trench, both rows.
    double last = 0.0;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(widths[i]);
        double depth = 0.0;
        const int first = starts[i] + widths[i] / 4, end = first + std::max(1, widths[i] / 2);
        for (int cx = first; cx < end; ++cx)
            for (const int y : {0, 1})
                depth += emptyDepth(*volume, cx, y, 12) / (2.0 * (end - first));
        EXPECT_GT(depth, last) << "a wider trench etches deeper";
        EXPECT_LE(depth, 8.0);
        last = depth;
    }
    // The resist has no rate of its own and stays.
    EXPECT_EQ(materialAt(*volume, 81, 0, 15), Resist);
}

namespace {

// An opening 20 cells wide and 10 deep between two walls, x in [10, 30), under two cells of
// resist, periodic sides.
std::shared_ptr<Model::Automaton::TotalVolume> opening() {
    return makeVolume(40, 2, 30, [](int x, int, int z) {
        if (z < 10 || (z < 20 && (x < 10 || x >= 30)))
            return Silicon;
        return z < 22 && (x < 10 || x >= 30) ? Resist : 0;
    });
}

FluxStepRecipe etchRecipe(double microns, double ionShare) {
    FluxStepRecipe recipe;
    recipe.rate = microns;
    recipe.time = 1.0;
    recipe.ionExponent = 1000.0;
    recipe.ionShare = ionShare;
    recipe.periodicSides = true;
    recipe.raysPerCell = 64;
    recipe.seed = 4;
    return recipe;
}

// Where the wall that faces +x from column x0 stands at height z: its last silicon column.
int wallAt(Model::Automaton::TotalVolume& volume, int x0, int z) {
    int x = x0 + 1;
    while (x > 0 && materialAt(volume, x - 1, 0, z) == 0)
        --x;
    return x - 1;
}

} // namespace

// A film lining holds the faces it covers and the undersides; the faces the etch bares recede.
// A beam reaches no wall, and a floor going down hands the wall it bares nothing.
TEST(FluxEtching, LinedFacesHoldBareOnesRecedeAndTheFloorsExcessStaysInItsColumn) {
    {
        const auto volume = opening();
        FluxSurfaceAdvance(*volume, etchRecipe(6.0, 1.0)).run();
        EXPECT_NEAR(emptyDepth(*volume, 20, 0, 10), 6, 1);
        for (int z = 4; z < 20; ++z) {
            SCOPED_TRACE(z);
            EXPECT_EQ(wallAt(*volume, 9, z), 9) << "a beam of power 1000 moved the wall";
        }
    }
    {
        // A block standing 8 cells proud: its edges, open above and at a side, go down with
        // its middle, as the beam falls on their tops alone and each edge cell takes the
        // excess of the one over it.
        const auto block = makeVolume(30, 2, 28, [](int x, int, int z) {
            return z < 10 || (z < 18 && x >= 10 && x < 20) ? Silicon : 0;
        });
        FluxSurfaceAdvance(*block, etchRecipe(6.0, 1.0)).run();
        for (const int x : {10, 19})
            EXPECT_EQ(emptyDepth(*block, x, 0, 18), emptyDepth(*block, 15, 0, 18)) << x;
    }
    // Neutrals alone: the left wall lined, the right bare, the floor bare.
    const auto volume = opening();
    FilmLining lining;
    for (int y = 0; y < 2; ++y)
        for (int z = 10; z < 20; ++z)
            lining.push_back({volume->index(9, unsigned(y), unsigned(z)), 1u << 5});
    std::sort(lining.begin(), lining.end());
    FluxStepRecipe recipe = etchRecipe(3.0, 0.0);
    recipe.neutralsFromMouth = true;
    FluxSurfaceAdvance(*volume, recipe, &lining).run();
    for (int z = 10; z < 20; ++z) {
        SCOPED_TRACE(z);
        EXPECT_EQ(wallAt(*volume, 9, z), 9) << "the film gave way";
        EXPECT_EQ(materialAt(*volume, 30, 0, z), 0) << "the bare wall held";
    }
    // Below the old floor the lined wall's cells are bared from below and beside: the side
    // recedes, the underside of the lined cell above does not.
    EXPECT_EQ(materialAt(*volume, 9, 0, 10), Silicon);
    EXPECT_EQ(materialAt(*volume, 8, 0, 10), Silicon);
    EXPECT_NEAR(emptyDepth(*volume, 20, 0, 10), 3, 1);
}

TEST(FluxSteps, EveryThreadCountGivesTheSameCells) {
    const QVariantMap etch{{names::material().id, Silicon},
                           {names::rate, 1.0},
                           {names::time, 3.0},
                           {names::ionExponent, 50.0},
                           {names::neutralSticking, 0.2},
                           {names::ionShare, 0.5},
                           {names::raysPerCell, 50},
                           {names::seed, 9},
                           {names::otherEtchRates, QStringLiteral("2:0.5")}};
    const auto scene = [] {
        return makeVolume(24, 10, 16, [](int x, int y, int z) {
            if (z < 8)
                return Silicon;
            return z < 10 && !(x > 8 && x < 14 && y > 2) ? Resist : 0;
        });
    };
    std::vector<int> first;
    for (const int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        const PoolThreads pool(threads);
        const auto volume = scene();
        ASSERT_TRUE(execute(volume, ProcessTypes::FluxEtching, etch).isDone());
        ASSERT_TRUE(
            execute(volume, ProcessTypes::FluxDeposition, depositionRecord(2.0, 0.3)).isDone());
        if (first.empty())
            first = materialsOf(*volume);
        else
            EXPECT_EQ(materialsOf(*volume), first);
    }
}

TEST(FluxSteps, BadRecordsAreRefusedWithTheirReasonAndChangeNothing) {
    const struct {
        int type;
        const char* name;
        QVariant value;
        const char* reason;
    } cases[] = {
        {ProcessTypes::FluxDeposition, "Sticking", 1.5, "sticking probability"},
        {ProcessTypes::FluxDeposition, "Source Exponent", -1.0, "source exponent"},
        {ProcessTypes::FluxDeposition, "Rays Per Cell", 0, "rays per surface cell"},
        {ProcessTypes::FluxDeposition, "Thickness", QStringLiteral("thick"), "Thickness"},
        {ProcessTypes::FluxEtching, "Ion Share", 2.0, "ion share"},
        {ProcessTypes::FluxEtching, "Neutral Sticking", -0.5, "neutral sticking"},
        {ProcessTypes::FluxEtching, "Other Etch Rates", QStringLiteral("2=1"), "other etch rates"},
        {ProcessTypes::FluxEtching, "Time", -3.0, "time"},
    };
    const QVariantMap etch{{names::material().id, Silicon},
                           {names::rate, 1.0},
                           {names::time, 1.0},
                           {names::ionExponent, 100.0},
                           {names::neutralSticking, 0.2},
                           {names::ionShare, 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto volume = slot();
        const auto before = materialsOf(*volume);
        QVariantMap record =
            c.type == ProcessTypes::FluxEtching ? etch : depositionRecord(1.0, 1.0);
        record[QString::fromLatin1(c.name)] = c.value;
        const auto result = execute(volume, c.type, record);
        EXPECT_EQ(result.outcome, Outcome::NotRun);
        EXPECT_TRUE(result.problem.contains(QString::fromLatin1(c.reason)))
            << result.problem.toStdString();
        EXPECT_EQ(materialsOf(*volume), before);
    }
    // The fields Python and the runner learn: the optional ones are marked so.
    const auto fields = ProcessRecordExecutor::fieldsOf(ProcessTypes::FluxEtching);
    ASSERT_TRUE(fields);
    for (const RecordField& f : *fields) {
        if (f.name == names::seed || f.name == names::raysPerCell ||
            f.name == names::periodicSides) {
            EXPECT_TRUE(f.optional) << f.name.toStdString();
        }
    }
}

namespace {

// Cancels once the first flux map is done.
class CancelAfterFirstMap : public Util::ProgressReporter {
public:
    void advance(std::uint64_t) override { cancelled = true; }
    bool wasCancelled() const override { return cancelled; }

private:
    bool cancelled = false;
};

struct FluxOperationTest : VolumeOperationTest {
    void SetUp() override { useVolume(slot()); }
};

} // namespace

TEST_F(FluxOperationTest, StepsUndoRedoAndACancelledRunLeavesTheCells) {
    const auto original = materialsOf(*volume);
    FluxStepRecipe deposit;
    deposit.kind = FluxStepRecipe::Kind::Deposition;
    deposit.material = Film;
    deposit.rate = 1.0;
    deposit.time = 2.0;
    deposit.periodicSides = true;
    auto depositing = selected<FluxDepositionOperation>();
    depositing->setRecipe(deposit);
    depositing->end();
    EXPECT_EQ(log->lines.last(), QStringLiteral("Flux Deposition: Operation finished."));
    const auto deposited = materialsOf(*volume);
    ASSERT_NE(deposited, original);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 32u);

    FluxStepRecipe etch;
    etch.material = Film;
    etch.rate = 1.0;
    etch.time = 1.0;
    auto etching = selected<FluxEtchingOperation>();
    etching->setRecipe(etch);
    etching->end();
    const auto etched = materialsOf(*volume);
    ASSERT_NE(etched, deposited);

    EXPECT_EQ(etching->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), deposited);
    EXPECT_EQ(depositing->undo(), 1);
    EXPECT_EQ(materialsOf(*volume), original);
    depositing->redo();
    etching->redo();
    EXPECT_EQ(materialsOf(*volume), etched);

    // A bad recipe is refused by name before anything runs.
    auto refused = selected<FluxEtchingOperation>();
    etch.ionShare = 3.0;
    refused->setRecipe(etch);
    refused->end();
    EXPECT_TRUE(std::any_of(log->lines.begin(), log->lines.end(), [](const QString& line) {
        return line.startsWith(QStringLiteral("Flux Etching")) &&
               line.contains(QStringLiteral("ion share"));
    }));
    EXPECT_EQ(materialsOf(*volume), etched);

    CancelAfterFirstMap cancel;
    const auto result =
        execute(volume, ProcessTypes::FluxDeposition, depositionRecord(6.0, 1.0), cancel);
    EXPECT_EQ(result.outcome, Outcome::Cancelled);
    EXPECT_EQ(materialsOf(*volume), etched);
}

} // namespace CELLVANE_TEST_FILE
