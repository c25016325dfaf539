#include "Core/Operations/BatchRun/processrecord.h"
#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/boronetchstop.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/Operations/materialset.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/document.h"
#include "support/registryfiles.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using Core::Operations::BoronEtchStop;
using Core::Operations::ProcessTypes;
using Model::Automaton::TotalVolume;
using namespace testing_support;
namespace names = Core::Operations::RecordParameters;

namespace {
constexpr int pDoped = 15;

// The materials made for concentrations go with the test: the registry is process-wide.
class BoronEtchStopTest : public TestSupport::RegistryTest {};
} // namespace

TEST_F(BoronEtchStopTest, RateFallsWithTheFourthPowerAboveTheCriticalConcentration) {
    const double c0 = BoronEtchStop::criticalConcentration;
    // Undoped and lightly doped silicon etch at the intrinsic rate.
    EXPECT_DOUBLE_EQ(BoronEtchStop::rateFactor(0.0), 1.0);
    EXPECT_NEAR(BoronEtchStop::rateFactor(1e18), 1.0, 1e-5);
    // Half the rate at the critical concentration.
    EXPECT_DOUBLE_EQ(BoronEtchStop::rateFactor(c0), 0.5);
    // Far above it, doubling the concentration divides the rate by 2⁴.
    EXPECT_NEAR(BoronEtchStop::rateFactor(4e20) / BoronEtchStop::rateFactor(2e20), 1.0 / 16.0,
                1e-3);
    EXPECT_NEAR(BoronEtchStop::rateFactor(1e20), 1.0 / (1.0 + std::pow(5.0, 4.0)), 1e-12);

    EXPECT_TRUE(BoronEtchStop::refusal(1e20).isEmpty());
    for (const double bad : {0.0, -1e19, 1e23, std::nan("")})
        EXPECT_FALSE(BoronEtchStop::refusal(bad).isEmpty()) << bad;
}

TEST_F(BoronEtchStopTest, EachConcentrationBandIsOneMaterialThatNamesIt) {
    const std::uint32_t high = BoronEtchStop::materialFor(pDoped, 1e20);
    EXPECT_NE(high, std::uint32_t(pDoped));
    EXPECT_EQ(BoronEtchStop::materialFor(pDoped, 1.0e20), high);
    EXPECT_EQ(BoronEtchStop::materialFor(pDoped, 1.04e20), high);
    const std::uint32_t low = BoronEtchStop::materialFor(pDoped, 1e18);
    EXPECT_NE(low, high);
    // Doping a doped band again names the new concentration once, on the same base.
    EXPECT_EQ(BoronEtchStop::materialFor(high, 1e18), low);

    ASSERT_TRUE(BoronEtchStop::concentrationOf(high).has_value());
    EXPECT_DOUBLE_EQ(*BoronEtchStop::concentrationOf(high), 1e20);
    EXPECT_DOUBLE_EQ(*BoronEtchStop::concentrationOf(low), 1e18);
    EXPECT_FALSE(BoronEtchStop::concentrationOf(pDoped).has_value());
    EXPECT_FALSE(BoronEtchStop::concentrationOf(1).has_value());
    EXPECT_EQ(BoronEtchStop::baseOf(high), std::optional<std::uint32_t>(pDoped));
    EXPECT_FALSE(BoronEtchStop::baseOf(pDoped).has_value());

    // Oxidation, doping and every other process take the doped cells as they take the
    // material they were doped as.
    const auto oxidised =
        Core::Operations::MaterialSet::compatibleWith(QStringLiteral("Simple Si Oxidation"));
    ASSERT_TRUE(oxidised.contains(pDoped));
    EXPECT_TRUE(oxidised.contains(high));
    EXPECT_TRUE(oxidised.contains(low));
    EXPECT_FALSE(
        Core::Operations::MaterialSet::compatibleWith(QStringLiteral("DRIE")).contains(high));

    const auto registry = Model::Materials::MaterialFactory::getInstance();
    const auto base = registry->getMaterial(pDoped);
    EXPECT_TRUE(registry->getMaterial(high).getName().startsWith(base.getName()));
    EXPECT_EQ(registry->getMaterial(high),
              Model::Materials::Material(high, registry->getMaterial(high).getName(),
                                         base.getDensity(), base.getYoungModulus(),
                                         base.getPoissonRatio(), base.getColor()));
}

namespace {

TEST_F(BoronEtchStopTest, TheConcentrationOfACellSurvivesSavingAndOpeningInAnotherSession) {
    const std::uint32_t high = BoronEtchStop::materialFor(pDoped, 2.5e20);
    Model::Document document;
    document.addObject(
        makeVolume(2, 1, 2, [high](int, int, int z) { return z == 0 ? 1 : int(high); }));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const auto archivers = Model::Persistence::DocumentArchiver::standardArchivers();
    ASSERT_TRUE(Model::Persistence::DocumentArchiver(archivers).write(&buffer, document));
    buffer.close();

    // A later run of the program has not made that material yet.
    Model::Materials::MaterialFactory::getInstance()->removeMaterial(high);
    buffer.open(QIODevice::ReadOnly);
    const auto read = Model::Persistence::DocumentArchiver(archivers).read(&buffer);
    ASSERT_EQ(read.objects.size(), 1u);
    const auto volume = std::dynamic_pointer_cast<TotalVolume>(read.objects[0]);
    ASSERT_TRUE(volume);
    const auto concentration =
        BoronEtchStop::concentrationOf(std::uint32_t(materialAt(*volume, 0, 0, 1)));
    ASSERT_TRUE(concentration.has_value());
    EXPECT_DOUBLE_EQ(*concentration, 2.5e20);
    EXPECT_EQ(materialAt(*volume, 0, 0, 0), 1);
}

// A wafer of 20 cells on one cell of oxide, doped from the front into `concentration`, then
// opened in a window in the back oxide and etched from the back through the window.
struct Membrane {
    std::shared_ptr<TotalVolume> volume;
    Core::Operations::ProcessRecordExecutor::Result etched;
};

constexpr int size = 40;
constexpr int waferTop = 21;
constexpr int dopedCells = 5;

Membrane etchMembrane(double concentration) {
    Membrane result;
    Core::Operations::ProcessHistory history;
    Core::Operations::ProcessRecordExecutor executor{history, {}};
    executor.setVolume(makeVolume(size, size, 24, [](int, int, int z) {
        return z == 0 ? oxide : z < waferTop ? 1 : 0;
    }));
    QVariantMap doping{{names::dopingDepth, double(dopedCells)},
                       {names::concentration, concentration}};
    doping.insert(names::material(QStringLiteral("Doped")).id, uint(pDoped));
    const auto doped = executor.execute(ProcessTypes::Doping, doping);
    EXPECT_TRUE(doped.isDone()) << doped.problem.toStdString();

    {
        // The back window, 30 cells wide: the {111} walls close 2 × 15 / tan 54.7° ≈ 21 cells
        // of it on the way through 15 cells of silicon.
        const Model::Automaton::CellArraysLock lock(*executor.getVolume());
        for (int x = 5; x < 35; ++x)
            for (int y = 5; y < 35; ++y)
                lock.materials().set(std::ptrdiff_t(executor.getVolume()->index(x, y, 0)), 0);
    }
    history.setLatticeRebuildNeeded(executor.getVolume()->getId(), true);
    result.etched =
        executor.execute(ProcessTypes::SiWetEtching,
                         {{names::depth, 22.0}, {names::etchSide, QStringLiteral("bottom")}});
    result.volume = executor.getVolume();
    return result;
}

} // namespace

TEST_F(BoronEtchStopTest, AHeavilyDopedLayerIsLeftAsAMembraneALightOneIsEtchedThrough) {
    QuietEtching quiet;
    const std::uint32_t high = BoronEtchStop::materialFor(pDoped, 1e20);
    const Membrane stopped = etchMembrane(1e20);
    ASSERT_TRUE(stopped.etched.isDone()) << stopped.etched.problem.toStdString();
    // Over the middle of the window: no silicon left, and the doped layer whole, within a cell.
    for (const auto& [x, y] : {std::pair{20, 20}, std::pair{18, 22}}) {
        int membrane = 0;
        for (int z = 1; z < waferTop; ++z) {
            const int material = materialAt(*stopped.volume, x, y, z);
            EXPECT_NE(material, 1) << x << ", " << y << ", " << z;
            membrane += material == int(high);
        }
        EXPECT_NEAR(membrane, dopedCells, 1) << x << ", " << y;
    }
    // The oxide held the back beside the window, and the wafer stands there whole.
    EXPECT_EQ(materialAt(*stopped.volume, 1, 1, 1), 1);
    EXPECT_EQ(materialAt(*stopped.volume, 1, 1, waferTop - 1), int(high));

    const std::uint32_t low = BoronEtchStop::materialFor(pDoped, 1e18);
    const Membrane through = etchMembrane(1e18);
    ASSERT_TRUE(through.etched.isDone()) << through.etched.problem.toStdString();
    for (int z = 1; z < 24; ++z)
        EXPECT_EQ(materialAt(*through.volume, 20, 20, z), 0) << z;
    EXPECT_EQ(materialAt(*through.volume, 1, 1, waferTop - 1), int(low));
}

} // namespace CELLVANE_TEST_FILE
