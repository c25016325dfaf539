#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Model/Metrology/measurementquery.h"

#include <QThreadPool>
#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
using Model::Automaton::TotalVolume;
namespace names = Core::Operations::RecordParameters;

namespace {

// The top face of the highest silicon cell of a column, in cells; 0 for a column without.
int siliconTop(TotalVolume& volume, int x, int y) {
    for (int z = int(volume.getSizeZ()) - 1; z >= 0; --z)
        if (materialAt(volume, x, y, z) == 1)
            return z + 1;
    return 0;
}

double measured(TotalVolume& volume, const QString& text) {
    QString problem;
    const auto query = Model::Metrology::MeasurementQuery::parse(text, problem);
    EXPECT_TRUE(query) << problem.toStdString();
    if (!query)
        return std::nan("");
    const auto result = Model::Metrology::measure(volume, *query);
    EXPECT_TRUE(result.hasAnswer()) << text.toStdString() << ": " << result.reason.toStdString();
    return result.hasAnswer() ? result.quantities.front().value : std::nan("");
}

} // namespace

TEST(KohRecipe, SeidelRatesMatchHandComputedValues) {
    // Worked by hand from R = k0 [H2O]^4 [KOH]^(1/4) exp(-Ea/kT) with the densities below.
    struct Case {
        double wt, celsius, density, koh, water, rate100, rate110;
    };
    const Case cases[] = {
        {20, 60, 1.1878, 4.2340, 52.745, 0.45789, 0.69804},
        {30, 80, 1.2909, 6.9024, 50.158, 1.36839, 2.10677},
        {45, 70, 1.4561, 11.679, 44.453, 0.54465, 0.83453},
    };
    for (const Case& c : cases) {
        const KohRecipe recipe{c.wt, c.celsius, 20.0};
        SCOPED_TRACE(c.wt);
        EXPECT_TRUE(recipe.refusal().isEmpty());
        EXPECT_NEAR(KohRecipe::density(c.wt), c.density, 1e-4);
        EXPECT_NEAR(recipe.kohMolarity(), c.koh, 1e-3);
        EXPECT_NEAR(recipe.waterMolarity(), c.water, 1e-3);
        EXPECT_NEAR(recipe.rate100(), c.rate100, 1e-4);
        EXPECT_NEAR(recipe.rate110(), c.rate110, 1e-4);
    }
    // The handbook densities the fit stands for.
    EXPECT_NEAR(KohRecipe::density(10), 1.0904, 1e-3);
    EXPECT_NEAR(KohRecipe::density(50), 1.5143, 1e-3);
}

TEST(KohRecipe, RefusesConcentrationsOutsideTheFitAndBadNumbers) {
    EXPECT_TRUE((KohRecipe{10.0, 80.0, 1.0}.refusal().isEmpty()));
    EXPECT_TRUE((KohRecipe{60.0, 80.0, 1.0}.refusal().isEmpty()));
    for (const KohRecipe& bad :
         {KohRecipe{9.9, 80, 1}, KohRecipe{60.1, 80, 1}, KohRecipe{std::nan(""), 80, 1},
          KohRecipe{30, -5, 1}, KohRecipe{30, 80, -1}, KohRecipe{30, 80, INFINITY}})
        EXPECT_FALSE(bad.refusal().isEmpty()) << bad.concentration << " " << bad.time;
    EXPECT_TRUE(KohRecipe({5, 80, 1}).refusal().contains(QStringLiteral("10 to 60 wt%")));
}

TEST(KohRecipe, RecipeGivesTheDepthAndTheEngineDepthOnTheVolumesScale) {
    const KohRecipe recipe{30.0, 80.0, 20.0};
    EXPECT_NEAR(recipe.depthMicrons(), 27.368, 1e-3);
    EXPECT_EQ(recipe.depthText(), QStringLiteral("≈ 27.4 µm in 20 min"));
    // The depth in scene units of the whole cells nearest to it: 27 cells of 1 µm, 55 of
    // 0.5 µm, the same four layers per cell at either size.
    auto unit = flatSilicon(2, 2, 2, 1);
    auto half = makeVolume(
        2, 2, 2, [](int, int, int) { return 1; }, 0.5f, 0.5f, 0.5f);
    EXPECT_DOUBLE_EQ(recipe.engineDepth(*unit), 27.0);
    EXPECT_DOUBLE_EQ(recipe.engineDepth(*half), 27.5);
    EXPECT_EQ(WetEtchKernel::stepCount(recipe.engineDepth(*unit)), 108u);
}

TEST(KohRecipe, ThirtyPercentAtEightyDegreesForTenMinutesEtchesATruncatedPyramid) {
    QuietEtching quiet;
    // A 24-cell opening in one cell of oxide on 17 cells of silicon: the (111) walls meet
    // only 17 cells down, below the Seidel depth, so the floor stays flat.
    const int top = 17;
    auto volume = maskedSilicon(32, 32, 19, top, 4, 28);
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(volume);
    const auto result =
        executor.execute(ProcessTypes::SiWetEtching, {{names::kohRecipe, true},
                                                      {names::kohConcentration, 30.0},
                                                      {names::kohTemperature, 80.0},
                                                      {names::etchTime, 10.0}});
    ASSERT_TRUE(result.isDone()) << result.problem.toStdString();

    const double seidelDepth = KohRecipe{30.0, 80.0, 10.0}.depthMicrons();
    EXPECT_NEAR(seidelDepth, 13.684, 1e-3);
    const double floor = measured(*volume, QStringLiteral("top:1@16,16"));
    EXPECT_NEAR(top - floor, seidelDepth, 1.0);
    // The walls stand on the (111) planes, 54.7° from the (100) floor, on all four sides.
    for (const char* wall : {"angle:1@x,16,16,6..15", "angle:1@-x,16,16,6..15",
                             "angle:1@y,16,16,6..15", "angle:1@-y,16,16,6..15"})
        EXPECT_NEAR(measured(*volume, QString::fromLatin1(wall)), 54.74, 2.0) << wall;
    // The mask is not etched.
    EXPECT_EQ(materialAt(*volume, 1, 1, top), oxide);
}

TEST(KohRecipe, ALongEtchThinsAnOxideMaskAndLeavesNitride) {
    QuietEtching quiet;
    constexpr int Oxide = 3, Nitride = 17;
    // Three cells of thermal oxide over the low x half, three of LPCVD nitride over the high
    // half, and a small opening between them where the pit closes early.
    const int top = 10;
    auto volume = makeVolume(16, 16, 16, [](int x, int y, int z) {
        if (z < top)
            return 1;
        if (z >= top + 3 || (x >= 6 && x < 10 && y >= 6 && y < 10))
            return 0;
        return x < 8 ? Oxide : Nitride;
    });
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(volume);
    const KohRecipe recipe{30.0, 80.0, 260.0};
    const auto result =
        executor.execute(ProcessTypes::SiWetEtching, {{names::kohRecipe, true},
                                                      {names::kohConcentration, 30.0},
                                                      {names::kohTemperature, 80.0},
                                                      {names::etchTime, 260.0}});
    ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
    // Williams and Muller: wet oxide 7.7 nm/min where (100) silicon goes 1400 nm/min, in
    // 30 wt% KOH at 80 °C; nitride not measurably.
    const double oxideLoss = 7.7 / 1400.0 * recipe.rate100() * recipe.time;
    EXPECT_NEAR(oxideLoss, 1.96, 0.01);
    int oxideLeft = 0, nitrideLeft = 0;
    for (int z = top; z < top + 3; ++z) {
        oxideLeft += materialAt(*volume, 1, 1, z) == Oxide;
        nitrideLeft += materialAt(*volume, 14, 14, z) == Nitride;
    }
    EXPECT_EQ(oxideLeft, 3 - int(std::lround(oxideLoss)));
    EXPECT_EQ(nitrideLeft, 3);
    EXPECT_TRUE(result.note.contains(QStringLiteral("Thermal Si02 thinned by 1.95")))
        << result.note.toStdString();
    // The silicon under the worn mask is still held by what is left of it.
    EXPECT_EQ(materialAt(*volume, 1, 1, top - 1), 1);
}

TEST(KohRecipe, RecipeOutsideTheFitIsRefusedAndChangesNothing) {
    auto volume = flatSilicon(4, 4, 4, 3);
    const auto before = materialsOf(*volume);
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(volume);
    const auto result =
        executor.execute(ProcessTypes::SiWetEtching, {{names::kohRecipe, true},
                                                      {names::kohConcentration, 70.0},
                                                      {names::kohTemperature, 80.0},
                                                      {names::etchTime, 10.0}});
    EXPECT_EQ(result.outcome, ProcessRecordExecutor::Outcome::NotRun);
    EXPECT_TRUE(result.problem.contains(QStringLiteral("10 to 60 wt%")))
        << result.problem.toStdString();
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST(PeriodicSides, UnmaskedWaferStaysFlatToTheSidesAtAnyThreadCount) {
    QuietEtching quiet;
    const int before = QThreadPool::globalInstance()->maxThreadCount();
    std::vector<int> firstMaterials;
    for (const int threads : {1, 2, 3, 8}) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
        auto volume = flatSilicon(13, 11, 14, 13);
        ASSERT_TRUE(volume->rebuildSiLattice());
        AtomicStructureSimpleSiWetEtch(*volume, 10.0, WetEtchSides::Periodic).runEtching();
        double sum = 0;
        std::vector<int> tops;
        for (int x = 0; x < 13; ++x)
            for (int y = 0; y < 11; ++y)
                tops.push_back(siliconTop(*volume, x, y));
        for (int t : tops)
            sum += t;
        const double mean = sum / double(tops.size());
        EXPECT_NEAR(mean, 3.0, 0.5) << threads;
        for (std::size_t c = 0; c < tops.size(); ++c)
            EXPECT_LE(std::abs(tops[c] - mean), 1.0) << "column " << c << " at " << threads;
        EXPECT_EQ(countMismatches(*volume), 0);
        if (firstMaterials.empty())
            firstMaterials = materialsOf(*volume);
        else
            EXPECT_EQ(materialsOf(*volume), firstMaterials) << threads << " threads";
    }
    QThreadPool::globalInstance()->setMaxThreadCount(before);
}

TEST(PeriodicSides, ClosedSidesStillHoldTheirRimAndTheNextRunIsClosedAgain) {
    QuietEtching quiet;
    auto closed = flatSilicon(13, 11, 14, 13);
    ASSERT_TRUE(closed->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch(*closed, 10.0).runEtching();
    EXPECT_GT(siliconTop(*closed, 0, 5), siliconTop(*closed, 6, 5) + 1);

    // A periodic run leaves no bond through the sides behind: a closed run after it on the
    // same lattice etches as on a fresh one.
    auto reused = flatSilicon(13, 11, 14, 13);
    auto fresh = flatSilicon(13, 11, 14, 13);
    ASSERT_TRUE(reused->rebuildSiLattice());
    ASSERT_TRUE(fresh->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch(*reused, 0.0, WetEtchSides::Periodic).runEtching();
    AtomicStructureSimpleSiWetEtch(*reused, 3.0).runEtching();
    AtomicStructureSimpleSiWetEtch(*fresh, 3.0).runEtching();
    EXPECT_EQ(resultOf(*reused), resultOf(*fresh));
}

} // namespace CELLVANE_TEST_FILE
