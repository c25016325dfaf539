#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"
#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/BatchRun/recordvalues.h"
#include "Core/Operations/Doping/dopingoperations.h"
#include "Core/Operations/Flux/fluxprocessoperations.h"
#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhoodoperations.h"
#include "Core/Operations/Photolithography/photolithographyoperation.h"
#include "Core/Operations/Planarization/planarizationoperation.h"
#include "Core/Operations/Planarization/spincoatingoperation.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"
#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"
#include "Core/Operations/createsubstrateoperation.h"
#include "Model/Metrology/measurementquery.h"
#include "Util/metatypes.h"
#include "support/emptiedprocess.h"
#include "support/operationfixture.h"
#include "support/scenes.h"

#include <QColor>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <limits>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
namespace names = Core::Operations::RecordParameters;
using Outcome = ProcessRecordExecutor::Outcome;

namespace {

constexpr int Silicon = 1, Oxide = 3, Aluminium = 4, Copper = 5, Resist = 11, NDoped = 14,
              PDoped = 15;

// Silicon below z = 6 with oxide on half of it.
MaterialAt waferScene() {
    return [](int x, int, int z) { return z < 6 ? Silicon : (z < 8 && x < 6 ? Oxide : 0); };
}

QVariantMap withMaterial(QVariantMap values, int id, const QString& role = QString()) {
    values.insert(names::material(role).id, uint(id));
    return values;
}

std::vector<unsigned char> stripeMask(unsigned width, unsigned height) {
    std::vector<unsigned char> bytes(std::size_t(width) * height, 1);
    for (unsigned x = 2; x < 10; ++x)
        for (unsigned y = 0; y < height; ++y)
            bytes[x * height + y] = 0;
    return bytes;
}

// One step of the flow: its record, and the same values given to the menu operation.
struct FlowStep {
    int type;
    QVariantMap values;
    std::function<void(VolumeOperationTest&)> fromMenu;
};

template <class Op> std::shared_ptr<Op> startOn(VolumeOperationTest& test) {
    return test.selected<Op>();
}

std::vector<FlowStep> everyEngineStep() {
    const auto mask = stripeMask(12, 5);
    return {
        {ProcessTypes::CVD, withMaterial({{names::thickness, 2.0}}, Oxide),
         [](VolumeOperationTest& t) {
             auto op = startOn<IsotropicFilmDepositionOperation>(t);
             op->setDistance(2.f);
             op->setMaterialId(Oxide);
             op->end();
         }},
        {ProcessTypes::Photolithography,
         withMaterial({{names::mask(QStringLiteral("Top")).bits, QVariant::fromValue(mask)},
                       {names::mask(QStringLiteral("Top")).width, 12u},
                       {names::mask(QStringLiteral("Top")).height, 5u},
                       {names::mask(QStringLiteral("Bottom")).bits,
                        QVariant::fromValue(std::vector<unsigned char>())},
                       {names::mask(QStringLiteral("Bottom")).width, 0u},
                       {names::mask(QStringLiteral("Bottom")).height, 0u}},
                      Oxide),
         [mask](VolumeOperationTest& t) {
             auto op = startOn<PhotolithographyOperation>(t);
             op->setResistMaterialId(Oxide);
             op->setTopMask(std::vector<bool>(mask.begin(), mask.end()), 12, 5);
             op->setBottomMask({}, 0, 0);
             op->end();
         }},
        {ProcessTypes::SimpleRIE,
         withMaterial({{names::etchDepth, 2u}, {names::etchDirectionValue, 1}}, Silicon),
         [](VolumeOperationTest& t) {
             auto op = startOn<SimpleReactiveIonEtchingOperation>(t);
             op->setDepth(2);
             op->setMaterial(Silicon);
             op->end();
         }},
        {ProcessTypes::SiWetEtching,
         {{names::depth, 1.0}},
         [](VolumeOperationTest& t) {
             auto op = startOn<AtomisticSiWetEtchingOperation>(t);
             op->setDepth(1.0);
             op->end();
         }},
        {ProcessTypes::Doping,
         withMaterial({{names::dopingDepth, 1.0f}}, NDoped, QStringLiteral("Doped")),
         [](VolumeOperationTest& t) {
             auto op = startOn<DopingOperation>(t);
             op->setDepth(1.f);
             op->setDopedMaterialId(NDoped);
             op->end();
         }},
        {ProcessTypes::IonImplantation,
         withMaterial({{names::implantationDepth, 3.0f}, {names::annealingDistance, 1.0f}}, PDoped,
                      QStringLiteral("Doped")),
         [](VolumeOperationTest& t) {
             auto op = startOn<IonImplantationOperation>(t);
             op->setAnnealingDistance(1.f);
             op->setImplantationDepth(3.f);
             op->setDopedMaterialId(PDoped);
             op->end();
         }},
        {ProcessTypes::SiOxidation,
         {{names::oxidationTimeSet, false},
          {names::micronConversion, 10.0},
          {names::oxidationThickness, 0.2},
          {names::oxidationThicknessSet, true}},
         [](VolumeOperationTest& t) {
             auto op = startOn<SimpleSiOxidationOperation>(t);
             op->setMicronConversion(10.0);
             op->setOxideThickness(0.2);
             op->end();
         }},
        {ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 1.0}}, Oxide),
         [](VolumeOperationTest& t) {
             auto op = startOn<IsotropicFilmEtchingOperation>(t);
             op->setDistance(1.f);
             op->setMaterialId(Oxide);
             op->end();
         }},
        {ProcessTypes::MooreDeposition, withMaterial({{names::thickness, 2u}}, Aluminium),
         [](VolumeOperationTest& t) {
             auto op = startOn<MooreNeighborhoodDepositionOperation>(t);
             op->setMaterialId(Aluminium);
             op->setSteps(2);
             op->end();
         }},
        {ProcessTypes::MooreEtching, withMaterial({{names::depth, 1u}}, Aluminium),
         [](VolumeOperationTest& t) {
             auto op = startOn<MooreNeighborhoodEtchingOperation>(t);
             op->setMaterialId(Aluminium);
             op->setSteps(1);
             op->end();
         }},
        {ProcessTypes::PVD,
         withMaterial(
             {{names::thickness, 1.5}, {names::horizontalRatio, 0.5}, {names::depositOn, 1}},
             Aluminium),
         [](VolumeOperationTest& t) {
             auto op = startOn<AnisotropicFilmDepositionOperation>(t);
             op->setThickness(1.5f);
             op->setMaterialId(Aluminium);
             op->setHorizontalRatio(0.5f);
             op->setDepositOnMode(1);
             op->end();
         }},
        {ProcessTypes::Electroplating,
         withMaterial(
             withMaterial({{names::filmThickness, 1.0}}, Aluminium, QStringLiteral("Conducting")),
             Copper, QStringLiteral("Deposited")),
         [](VolumeOperationTest& t) {
             auto op = startOn<ElectrodepositionOperation>(t);
             op->setDistance(1.f);
             op->setMaterialId(Copper);
             op->setConductingMaterialId(Aluminium);
             op->end();
         }},
        {ProcessTypes::SpinCoating, withMaterial({{names::maximumHeight, 11u}}, Resist),
         [](VolumeOperationTest& t) {
             auto op = startOn<SpinCoatingOperation>(t);
             op->setMaterialId(Resist);
             op->setDepositionHeight(11);
             op->end();
         }},
        {ProcessTypes::FluxDeposition,
         withMaterial({{names::thickness, 1.0},
                       {names::sourceExponent, 1.0},
                       {names::sticking, 0.5},
                       {names::raysPerCell, 20}},
                      Oxide),
         [](VolumeOperationTest& t) {
             auto op = startOn<FluxDepositionOperation>(t);
             FluxStepRecipe recipe;
             recipe.kind = FluxStepRecipe::Kind::Deposition;
             recipe.material = Oxide;
             recipe.rate = 1.0;
             recipe.time = 1.0;
             recipe.sticking = 0.5;
             recipe.raysPerCell = 20;
             op->setRecipe(recipe);
             op->end();
         }},
        {ProcessTypes::FluxEtching,
         withMaterial({{names::rate, 1.0},
                       {names::time, 1.0},
                       {names::ionExponent, 100.0},
                       {names::neutralSticking, 0.3},
                       {names::ionShare, 0.5},
                       {names::raysPerCell, 20}},
                      Oxide),
         [](VolumeOperationTest& t) {
             auto op = startOn<FluxEtchingOperation>(t);
             FluxStepRecipe recipe;
             recipe.material = Oxide;
             recipe.rate = 1.0;
             recipe.time = 1.0;
             recipe.neutralSticking = 0.3;
             recipe.raysPerCell = 20;
             op->setRecipe(recipe);
             op->end();
         }},
        {ProcessTypes::Planarization,
         {{names::maximumHeight, 10u}, {names::minimumHeight, 0u}},
         [](VolumeOperationTest& t) {
             auto op = startOn<PlanarizationOperation>(t);
             op->setMaximumHeight(10);
             op->setMinimumHeight(0);
             op->end();
         }},
    };
}

// Runs the records through an executor of its own on its own copy of the scene.
struct BatchSide {
    ProcessHistory history;
    std::vector<QString> savedImages;
    ProcessRecordExecutor executor{
        history, {nullptr, [this](Model::Automaton::TotalVolume&, const QString& file) {
                      savedImages.push_back(file);
                      return QString();
                  }}};
};

struct ExecutorTest : VolumeOperationTest {
    void SetUp() override { useVolume(makeVolume(12, 5, 14, waferScene())); }
};

} // namespace

// Every step a list can hold, in one flow that gives each something to do: after each step the
// cells, the recorded operation and the lattice flag equal those of the same step started from
// its menu. The flow runs again on 1, 2, 3 and 8 pool threads with the same cells.
TEST_F(ExecutorTest, EveryStepEqualsItsMenuStepOnAnyThreadCount) {
    const std::vector<FlowStep> flow = everyEngineStep();
    BatchSide batch;
    batch.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
    const int batchId = batch.executor.getVolume()->getId();
    std::vector<std::vector<int>> states;
    for (const FlowStep& step : flow) {
        SCOPED_TRACE(step.type);
        step.fromMenu(*this);
        const auto result = batch.executor.execute(step.type, step.values);
        ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
        states.push_back(materialsOf(*batch.executor.getVolume()));
        ASSERT_NE(states.size() > 1 ? states[states.size() - 2]
                                    : materialsOf(*makeVolume(12, 5, 14, waferScene())),
                  states.back())
            << "each step of the flow changes cells";
        EXPECT_EQ(states.back(), materialsOf(*volume));
        EXPECT_EQ(batch.history.lastOperation(batchId),
                  context.processHistory.lastOperation(volume->getId()));
        EXPECT_EQ(batch.history.isLatticeRebuildNeeded(batchId),
                  context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    }
    EXPECT_EQ(batch.history.lastOperation(batchId), 22u);
    EXPECT_TRUE(batch.history.isLatticeRebuildNeeded(batchId)) << "planarization was last";

    for (int threads : {1, 2, 3, 8}) {
        const PoolThreads pool(threads);
        BatchSide again;
        again.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
        for (const FlowStep& step : flow)
            again.executor.execute(step.type, step.values);
        EXPECT_EQ(materialsOf(*again.executor.getVolume()), states.back()) << threads;
    }
}

// A record runs whole or not at all, says why, and leaves cells and history alone.
TEST_F(ExecutorTest, RecordsThatCannotRunChangeNothingAndSayWhy) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int type;
        QVariantMap values;
        const char* problem;
    };
    const Case cases[] = {
        {ProcessTypes::CVD, {{names::thickness, 2.0}}, "the parameter \"MaterialId\" is missing"},
        {ProcessTypes::CVD, withMaterial({{names::thickness, 2.0}}, 65536),
         "the parameter \"MaterialId\" holds \"65536\", not a material id from 0 to 65535"},
        {ProcessTypes::CVD, withMaterial({{names::thickness, QStringLiteral("thick")}}, Oxide),
         "the parameter \"Thickness\" holds \"thick\", not a number"},
        {ProcessTypes::CVD, withMaterial({{names::thickness, nan}}, Oxide),
         "the parameter \"Thickness\" holds \"nan\", not a number"},
        {ProcessTypes::CVD, withMaterial({{names::thickness, true}}, Oxide),
         "the parameter \"Thickness\" holds \"true\", not a number"},
        {ProcessTypes::CVD, withMaterial({{names::thickness, 1e300}}, Oxide),
         "the parameter \"Thickness\" holds \"1e+300\", not a number"},
        {ProcessTypes::SimpleRIE,
         withMaterial({{names::etchDepth, -3}, {names::etchDirectionValue, 1}}, Silicon),
         "the parameter \"Etch Depth\" holds \"-3\", not a whole number of at least 0"},
        {ProcessTypes::SiOxidation,
         {{names::oxidationTimeSet, QStringLiteral("maybe")}},
         "the parameter \"OxidationTimeSet\" holds \"maybe\", not true or false"},
        {ProcessTypes::SiOxidation,
         {{names::oxidationTimeSet, true}, {names::micronConversion, 1.0}},
         "the parameter \"Oxidation Time\" is missing"},
        {ProcessTypes::SaveImage,
         {{names::fileName, QVariant::fromValue(Util::Vector3D())}},
         "the parameter \"Filename\" holds a vector, not a text"},
        {ProcessTypes::Photolithography,
         withMaterial({{names::mask(QStringLiteral("Top")).bits, QStringLiteral("1010")},
                       {names::mask(QStringLiteral("Top")).width, 2u},
                       {names::mask(QStringLiteral("Top")).height, 2u}},
                      Oxide),
         "the parameter \"Top Mask\" holds \"1010\", not a vector of 0/1 bytes"},
        {ProcessTypes::Photolithography,
         withMaterial({{names::mask(QStringLiteral("Top")).bits,
                        QVariant::fromValue(std::vector<unsigned char>{1, 0, 1})},
                       {names::mask(QStringLiteral("Top")).width, 2u},
                       {names::mask(QStringLiteral("Top")).height, 2u},
                       {names::mask(QStringLiteral("Bottom")).bits,
                        QVariant::fromValue(std::vector<unsigned char>())},
                       {names::mask(QStringLiteral("Bottom")).width, 0u},
                       {names::mask(QStringLiteral("Bottom")).height, 0u}},
                      Oxide),
         "the top mask holds 3 bits, not 2 x 2"},
        {ProcessTypes::Photolithography,
         withMaterial({{names::mask(QStringLiteral("Top")).bits,
                        QVariant::fromValue(std::vector<unsigned char>(12 * 4, 1))},
                       {names::mask(QStringLiteral("Top")).width, 12u},
                       {names::mask(QStringLiteral("Top")).height, 4u},
                       {names::mask(QStringLiteral("Bottom")).bits,
                        QVariant::fromValue(std::vector<unsigned char>())},
                       {names::mask(QStringLiteral("Bottom")).width, 0u},
                       {names::mask(QStringLiteral("Bottom")).height, 0u}},
                      Oxide),
         "the top mask is 12 x 4 pixels, but the cell volume has 12 x 5 columns; a mask needs "
         "one pixel per column"},
        {ProcessTypes::PVD,
         withMaterial(
             {{names::thickness, 1.0}, {names::horizontalRatio, 1.0}, {names::depositOn, 7}},
             Aluminium),
         "the deposit-on mode must be 1 (on top), 2 (on bottom) or 3 (on top and bottom)"},
        {ProcessTypes::PVD,
         withMaterial(
             {{names::thickness, 1.0}, {names::horizontalRatio, 1.0}, {names::depositOn, 1}}, 0),
         "no deposited material was chosen"},
        // The ranges the step dialogs offer hold for a list as well.
        {ProcessTypes::CVD, withMaterial({{names::thickness, -3.0}}, Oxide),
         "the film thickness must be a number from 0 to 1000000000 units"},
        {ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 2e9}}, Oxide),
         "the etch depth must be a number from 0 to 1000000000 units"},
        {ProcessTypes::MooreDeposition, withMaterial({{names::thickness, 1e9}}, Aluminium),
         "the number of steps must be a whole number from 0 to 999999999"},
        {ProcessTypes::MooreEtching, withMaterial({{names::depth, -3}}, Aluminium),
         "the number of steps must be a whole number from 0 to 999999999"},
        {ProcessTypes::Doping, withMaterial({{names::dopingDepth, -1.0f}}, NDoped, "Doped"),
         "the doping depth must be a number from 0 to 1000000000 units"},
        {ProcessTypes::SaveCrossSection,
         {{names::planeAxis, QStringLiteral("w")},
          {names::planePosition, 1.0},
          {names::fileName, QStringLiteral("cut.png")}},
         "the plane axis is 'w', not x, y or z"},
        {ProcessTypes::SaveCrossSection,
         {{names::planeAxis, QStringLiteral("y")},
          {names::planePosition, 1.0},
          {names::fileName, QString()}},
         "no file is named for the picture"},
        {ProcessTypes::SaveCrossSection,
         {{names::planeAxis, QStringLiteral("y")}, {names::fileName, QStringLiteral("cut.png")}},
         "the parameter \"Plane Position\" is missing"},
        {42, {}, "there is no process of type 42"},
    };
    ProcessRecordExecutor executor(context.processHistory, {});
    executor.setVolume(volume);
    const auto before = materialsOf(*volume);
    for (const Case& c : cases) {
        const auto result = executor.execute(c.type, c.values);
        EXPECT_EQ(result.outcome, Outcome::NotRun) << c.problem;
        EXPECT_EQ(result.problem, QString::fromLatin1(c.problem));
    }
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 0u);

    // A plane outside the volume is refused before anything is drawn; one inside is drawn only
    // where the graphics system runs (not in this program), and says so elsewhere.
    const auto outside = executor.execute(ProcessTypes::SaveCrossSection,
                                          {{names::planeAxis, QStringLiteral("Z")},
                                           {names::planePosition, 14.0},
                                           {names::fileName, QStringLiteral("cut.png")}});
    EXPECT_EQ(outside.outcome, Outcome::NotRun);
    EXPECT_EQ(outside.problem, QStringLiteral("the plane z = 14 µm lies outside the cell volume: "
                                              "z runs from 0 to 14 µm (not including 14)"));
    const auto undrawn = executor.execute(ProcessTypes::SaveCrossSection,
                                          {{names::planeAxis, QStringLiteral("x")},
                                           {names::planePosition, 3.0},
                                           {names::fileName, QStringLiteral("cut.png")}});
    EXPECT_EQ(undrawn.outcome, Outcome::Failed);
    EXPECT_TRUE(undrawn.problem.contains(QStringLiteral("need the graphics system")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("cut.png")));
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(context.processHistory.lastOperation(volume->getId()), 0u);

    const EmptiedProcess noDopableMaterials(QStringLiteral("Simple Doping"));
    const auto refused = executor.execute(
        ProcessTypes::Doping, withMaterial({{names::dopingDepth, 1.0f}}, NDoped, "Doped"));
    EXPECT_EQ(refused.problem, QStringLiteral("the process \"Simple Doping\" lists no dopable "
                                              "materials, so nothing can be doped"));
}

TEST(ProcessRecordExecutor, CreateSubstrateMakesTheVolumeTheMenuWouldAndOthersNeedOne) {
    QVariantMap box{{names::corner, QVariant::fromValue(Util::Vector3D(5, 0, -2))},
                    {names::sphericalSubstrate, false},
                    {names::substrateRadius, 50u}};
    const unsigned volumeSize[] = {20, 10, 8}, size[] = {20, 10, 3}, delta[] = {0, 0, 2};
    for (int axis = 0; axis < 3; ++axis) {
        const char letter = char('X' + axis);
        box.insert(names::axis(names::volumeSize, letter), volumeSize[axis]);
        box.insert(names::axis(names::substrateSize, letter), size[axis]);
        box.insert(names::axis(names::substrateDelta, letter), delta[axis]);
        box.insert(names::axis(names::substrateCenter, letter), 0u);
    }
    box = withMaterial(box, Silicon);

    ProcessHistory history;
    std::vector<std::shared_ptr<Model::Automaton::TotalVolume>> created;
    ProcessRecordExecutor executor(
        history, {[&created](const auto& volume) { created.push_back(volume); }, nullptr});
    const auto cvd = withMaterial({{names::thickness, 1.0}}, Oxide);
    EXPECT_EQ(executor.execute(ProcessTypes::CVD, cvd).outcome, Outcome::NoVolume);
    EXPECT_EQ(executor.execute(ProcessTypes::SaveImage, {{names::fileName, QString()}}).outcome,
              Outcome::NoVolume);

    ASSERT_TRUE(executor.execute(ProcessTypes::CreateSubstrate, box).isDone());
    ASSERT_EQ(created.size(), 1u);
    ASSERT_EQ(executor.getVolume(), created[0]);
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context(host, prompts);
    CreateSubstrateOperation menu(context);
    menu.setCuboidSubstrate(Silicon, 20, 10, 8, Util::Vector3D(5, 0, -2), 0, 0, 2, 20, 10, 3);
    menu.step();
    ASSERT_TRUE(menu.getVolume());
    EXPECT_EQ(materialsOf(*created[0]), materialsOf(*menu.getVolume()));
    EXPECT_EQ(created[0]->getPosition().x, 5.0);

    QVariantMap ball = box;
    ball.insert(names::sphericalSubstrate, true);
    ball.insert(names::substrateRadius, 4u);
    ASSERT_TRUE(executor.execute(ProcessTypes::CreateSubstrate, ball).isDone());
    EXPECT_EQ(materialAt(*executor.getVolume(), 4, 0, 0), Silicon);
    EXPECT_EQ(materialAt(*executor.getVolume(), 4, 1, 0), 0);

    QVariantMap empty = box;
    empty.insert(names::axis(names::volumeSize, 'Y'), 0u);
    const auto refused = executor.execute(ProcessTypes::CreateSubstrate, empty);
    EXPECT_EQ(refused.outcome, Outcome::NotRun);
    EXPECT_EQ(refused.problem,
              QStringLiteral("A cell volume needs at least one cell along each axis."));
    EXPECT_EQ(created.size(), 2u);
}

// What a step reports it reads is what it needs: a record of exactly those values runs, and
// one without any of them is refused naming it. Values that only some recipes read belong to
// the flag that chooses the recipe.
TEST_F(ExecutorTest, FieldsOfAStepAreTheValuesItNeeds) {
    std::vector<int> expectedTypes;
    for (int type = 0; type < ProcessTypes::Invalid; ++type)
        expectedTypes.push_back(type);
    // Kinds added later take codes above Invalid, so that older lists keep their meaning.
    expectedTypes.push_back(ProcessTypes::Measure);
    expectedTypes.push_back(ProcessTypes::SaveCrossSection);
    expectedTypes.push_back(ProcessTypes::FluxEtching);
    expectedTypes.push_back(ProcessTypes::FluxDeposition);
    expectedTypes.push_back(ProcessTypes::BoschDrie);
    expectedTypes.push_back(ProcessTypes::ReleaseEtch);
    EXPECT_EQ(ProcessRecordExecutor::processTypes(), expectedTypes);
    EXPECT_FALSE(ProcessRecordExecutor::fieldsOf(ProcessTypes::Invalid));
    EXPECT_FALSE(ProcessRecordExecutor::fieldsOf(99));

    for (const FlowStep& step : everyEngineStep()) {
        SCOPED_TRACE(step.type);
        const auto fields = ProcessRecordExecutor::fieldsOf(step.type);
        ASSERT_TRUE(fields);
        // A value the step may do without (a layout beside the mask bits) is not needed.
        QVariantMap needed;
        for (const RecordField& field : *fields) {
            const bool read = field.whenFlag.isEmpty() ||
                              step.values.value(field.whenFlag).toBool() == field.whenFlagIs;
            if (read && !field.optional)
                needed.insert(field.name, step.values.value(field.name));
        }
        BatchSide batch;
        batch.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
        ASSERT_TRUE(batch.executor.execute(step.type, needed).isDone());
        for (const QString& name : needed.keys()) {
            QVariantMap without = needed;
            without.remove(name);
            const auto refused = batch.executor.execute(step.type, without);
            EXPECT_EQ(refused.outcome, Outcome::NotRun) << name.toStdString();
            EXPECT_TRUE(refused.problem.contains(name)) << refused.problem.toStdString();
        }
    }

    const auto oxidation = *ProcessRecordExecutor::fieldsOf(ProcessTypes::SiOxidation);
    const auto field = [&](const QString& name) {
        return *std::find_if(oxidation.begin(), oxidation.end(),
                             [&](const RecordField& f) { return f.name == name; });
    };
    EXPECT_EQ(field(names::oxidationTime).whenFlag, names::oxidationTimeSet);
    EXPECT_TRUE(field(names::oxidationTime).whenFlagIs);
    EXPECT_FALSE(field(names::oxidationThickness).whenFlagIs);
    EXPECT_TRUE(field(names::micronConversion).whenFlag.isEmpty());
    const auto substrate = *ProcessRecordExecutor::fieldsOf(ProcessTypes::CreateSubstrate);
    const auto cellSize = std::find_if(substrate.begin(), substrate.end(), [](const auto& f) {
        return f.name == names::axis(names::cellSize, 'Z');
    });
    ASSERT_NE(cellSize, substrate.end());
    EXPECT_TRUE(cellSize->optional);
    EXPECT_EQ(cellSize->kind, RecordField::Kind::Single);
}

namespace {

// Asks a run to stop once it has advanced `steps` times, as a user's Cancel would.
class CancelAfter : public Util::ProgressReporter {
public:
    explicit CancelAfter(int steps) : left(steps) {}
    void advance(std::uint64_t) override { --left; }
    bool wasCancelled() const override { return left <= 0; }

private:
    std::atomic<int> left;
};

} // namespace

// A cancelled step leaves every cell as it was, records no operation and distrusts the
// lattice; the same executor then runs the step whole. On any thread count.
TEST_F(ExecutorTest, ACancelledStepPutsEveryCellBack) {
    const auto thick = withMaterial({{names::thickness, 6.0}}, Copper);
    for (int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        const PoolThreads pool(threads);
        BatchSide batch;
        batch.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
        const auto before = materialsOf(*batch.executor.getVolume());
        const int id = batch.executor.getVolume()->getId();
        batch.history.setLatticeRebuildNeeded(id, false);
        CancelAfter cancel(2);
        const auto result = batch.executor.execute(ProcessTypes::CVD, thick, cancel);
        EXPECT_EQ(result.outcome, Outcome::Cancelled);
        EXPECT_EQ(materialsOf(*batch.executor.getVolume()), before);
        EXPECT_EQ(batch.history.lastOperation(id), 0u);
        EXPECT_TRUE(batch.history.isLatticeRebuildNeeded(id));

        ASSERT_TRUE(batch.executor.execute(ProcessTypes::CVD, thick).isDone());
        EXPECT_NE(materialsOf(*batch.executor.getVolume()), before);
    }
}

TEST(ProcessRecordExecutor, CreateSubstrateTakesCellSizesWhenGiven) {
    QVariantMap box{{names::corner, QVariant::fromValue(Util::Vector3D(0, 0, 0))},
                    {names::sphericalSubstrate, false}};
    for (const char letter : {'X', 'Y', 'Z'}) {
        box.insert(names::axis(names::volumeSize, letter), 4u);
        box.insert(names::axis(names::substrateSize, letter), 2u);
        box.insert(names::axis(names::substrateDelta, letter), 0u);
    }
    box = withMaterial(box, Silicon);
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    ASSERT_TRUE(executor.execute(ProcessTypes::CreateSubstrate, box).isDone());
    EXPECT_EQ(executor.getVolume()->getCellSizeZ(), 1.f);
    box.insert(names::axis(names::cellSize, 'X'), 2.5);
    box.insert(names::axis(names::cellSize, 'Z'), 0.5);
    ASSERT_TRUE(executor.execute(ProcessTypes::CreateSubstrate, box).isDone());
    EXPECT_EQ(executor.getVolume()->getCellSizeX(), 2.5f);
    EXPECT_EQ(executor.getVolume()->getCellSizeY(), 1.f);
    EXPECT_EQ(executor.getVolume()->getCellSizeZ(), 0.5f);
    // The record's sizes and corner are µm; in a document of 0.5 µm per scene unit they are
    // twice as many units, and the volume carries that scale.
    executor.setMicrometresPerSceneUnit(0.5);
    box.insert(names::corner, QVariant::fromValue(Util::Vector3D(3, 0, -1)));
    ASSERT_TRUE(executor.execute(ProcessTypes::CreateSubstrate, box).isDone());
    EXPECT_EQ(executor.getVolume()->getCellSizeX(), 5.f);
    EXPECT_EQ(executor.getVolume()->getCellSizeY(), 2.f);
    EXPECT_EQ(executor.getVolume()->getPosition().x, 6.0);
    EXPECT_EQ(executor.getVolume()->getPosition().z, -2.0);
    EXPECT_EQ(executor.getVolume()->getMicrometresPerSceneUnit(), 0.5);
    for (const QVariant& bad : {QVariant(0.0), QVariant(-1.0), QVariant(QStringLiteral("wide"))}) {
        box.insert(names::axis(names::cellSize, 'Y'), bad);
        EXPECT_EQ(executor.execute(ProcessTypes::CreateSubstrate, box).outcome, Outcome::NotRun);
    }
}

// The wafer's surface plane: (100) unless the record names another; a text naming none is
// refused with the reason, and nothing is created.
TEST(ProcessRecordExecutor, CreateSubstrateTakesTheCrystalOrientation) {
    using Model::Automaton::CrystalOrientation;
    QVariantMap box{{names::corner, QVariant::fromValue(Util::Vector3D(0, 0, 0))},
                    {names::sphericalSubstrate, false}};
    for (const char letter : {'X', 'Y', 'Z'}) {
        box.insert(names::axis(names::volumeSize, letter), 4u);
        box.insert(names::axis(names::substrateSize, letter), 2u);
        box.insert(names::axis(names::substrateDelta, letter), 0u);
    }
    box = withMaterial(box, Silicon);
    ProcessHistory history;
    int created = 0;
    ProcessRecordExecutor executor(history, {[&created](const auto&) { ++created; }, nullptr});
    const struct {
        QVariant value;
        bool runs;
        CrystalOrientation orientation;
    } cases[] = {{QVariant(), true, CrystalOrientation::Surface100},
                 {QStringLiteral("100"), true, CrystalOrientation::Surface100},
                 {QStringLiteral("110"), true, CrystalOrientation::Surface110},
                 {QStringLiteral("(110)"), true, CrystalOrientation::Surface110},
                 {QStringLiteral("111"), false, {}},
                 {QStringLiteral(""), false, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toString().toStdString());
        QVariantMap record = box;
        if (c.value.isValid())
            record.insert(names::crystalOrientation, c.value);
        const int before = created;
        const auto result = executor.execute(ProcessTypes::CreateSubstrate, record);
        if (!c.runs) {
            EXPECT_EQ(result.outcome, Outcome::NotRun);
            EXPECT_EQ(result.problem,
                      QStringLiteral("the crystal orientation must be 100 or 110, not \"%1\"")
                          .arg(c.value.toString()));
            EXPECT_EQ(created, before);
            continue;
        }
        ASSERT_TRUE(result.isDone());
        EXPECT_EQ(executor.getVolume()->getCrystalOrientation(), c.orientation);
    }
    const auto fields = *ProcessRecordExecutor::fieldsOf(ProcessTypes::CreateSubstrate);
    const auto field = std::find_if(fields.begin(), fields.end(), [](const RecordField& f) {
        return f.name == names::crystalOrientation;
    });
    ASSERT_NE(field, fields.end());
    EXPECT_TRUE(field->optional);
}

// Counts of cells may be given in µm instead: on 0.5 µm cells a box of 30 µm is 60 cells, and
// an etch of 6 µm removes 12 cells where "Etch Depth: 6" would remove 3 µm. Their units are
// what the runner's lines and the study's axes show.
TEST(ProcessRecordExecutor, CellCountsMayBeGivenInMicrometres) {
    QVariantMap box{{names::corner, QVariant::fromValue(Util::Vector3D(0, 0, 0))},
                    {names::sphericalSubstrate, false}};
    for (const char letter : {'X', 'Y', 'Z'}) {
        box.insert(names::axis(names::cellSize, letter), 0.5);
        box.insert(names::axisInMicrons(names::volumeSize, letter), 10.0);
        box.insert(names::axis(names::substrateSize, letter), 20u);
        box.insert(names::axis(names::substrateDelta, letter), 0u);
    }
    box.insert(names::axisInMicrons(names::volumeSize, 'X'), 30.2);
    box.insert(names::axisInMicrons(names::substrateSize, 'Z'), 4.0);
    box = withMaterial(box, Silicon);
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    const auto created = executor.execute(ProcessTypes::CreateSubstrate, box);
    ASSERT_TRUE(created.isDone()) << created.problem.toStdString();
    auto& volume = *executor.getVolume();
    EXPECT_EQ(volume.getSizeX(), 60u);
    EXPECT_EQ(volume.getSizeY(), 20u);
    EXPECT_EQ(volume.getSizeZ(), 20u);
    EXPECT_EQ(materialAt(volume, 0, 0, 7), Silicon);
    EXPECT_EQ(materialAt(volume, 0, 0, 8), 0) << "4 µm of substrate are 8 cells";

    const QVariantMap rie{
        {names::etchDirectionValue, 1}, {names::etchDepth, 6u}, {names::etchDepthMicrons, 1.5}};
    const auto etched = executor.execute(ProcessTypes::SimpleRIE, withMaterial(rie, Silicon));
    ASSERT_TRUE(etched.isDone()) << etched.problem.toStdString();
    EXPECT_EQ(materialAt(*executor.getVolume(), 0, 0, 4), Silicon);
    EXPECT_EQ(materialAt(*executor.getVolume(), 0, 0, 5), 0) << "1.5 µm are 3 cells, not 6";
    QVariantMap negative = withMaterial(rie, Silicon);
    negative.insert(names::etchDepthMicrons, -1.0);
    EXPECT_EQ(executor.execute(ProcessTypes::SimpleRIE, negative).outcome, Outcome::NotRun);

    for (const auto& [name, unit] : std::vector<std::pair<QString, QString>>{
             {names::etchDepth, "cells"},
             {names::etchDepthMicrons, "µm"},
             {names::axis(names::volumeSize, 'Y'), "cells"},
             {names::axisInMicrons(names::substrateDelta, 'Z'), "µm"},
             {names::axis(names::cellSize, 'X'), "µm"},
             {names::thickness, "µm"},
             {names::rate, "µm/min"},
             {names::etchDepthPerCycle, "µm"},
             {names::passivationRate, "µm/min"},
             {names::etchTimePerCycle, "min"},
             {names::seed, ""}})
        EXPECT_EQ(names::unitOf(name), unit) << name.toStdString();
}

// Of two wet etches in a row only the first builds the lattice; an etch of silicon between
// them makes the second build it again.
TEST_F(ExecutorTest, OnlyAWetEtchAfterSiliconChangedRebuildsTheLattice) {
    ProcessRecordExecutor executor(context.processHistory, {});
    executor.setVolume(volume);
    const QVariantMap wetEtch{{names::depth, 0.5}};
    ASSERT_TRUE(executor.execute(ProcessTypes::SiWetEtching, wetEtch).isDone());
    const auto first = volume->getSiLattice();
    ASSERT_TRUE(first);
    ASSERT_TRUE(executor.execute(ProcessTypes::SiWetEtching, wetEtch).isDone());
    EXPECT_EQ(volume->getSiLattice(), first);

    ASSERT_TRUE(
        executor.execute(ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 1.0}}, Oxide))
            .isDone());
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()))
        << "etching oxide leaves the silicon";
    ASSERT_TRUE(
        executor
            .execute(ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 1.0}}, Silicon))
            .isDone());
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    ASSERT_TRUE(executor.execute(ProcessTypes::SiWetEtching, wetEtch).isDone());
    EXPECT_NE(volume->getSiLattice(), first);
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));

    // Pouring fills empty cells only, yet poured silicon is silicon the lattice lacks.
    const auto pour = [&](int material, unsigned height) {
        return executor.execute(ProcessTypes::SpinCoating,
                                withMaterial({{names::maximumHeight, height}}, material));
    };
    ASSERT_TRUE(pour(Resist, 12).isDone());
    EXPECT_FALSE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
    ASSERT_TRUE(pour(Silicon, 14).isDone());
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()));
}

// Values as a list or a person gives them: numbers as text convert, a fraction is cut off
// where a whole number is wanted, and counts are held within what an int can count.
TEST(RecordValues, ConvertNumbersAndRejectWhatIsNoNumberOfTheKind) {
    const QVariantMap values{{"text", QStringLiteral(" 7.5")},
                             {"fraction", 7.9},
                             {"negative", -2},
                             {"huge", 1e12},
                             {"colour", QColor(Qt::red)},
                             {"bits", QVariant::fromValue(std::vector<unsigned char>{0, 2, 1})}};
    {
        RecordValues read(values);
        EXPECT_EQ(read.real("text"), 7.5);
        EXPECT_EQ(read.integer("fraction"), 7);
        EXPECT_EQ(read.whole("fraction"), 7u);
        EXPECT_EQ(read.integer("negative"), -2);
        EXPECT_EQ(read.clampedCount("huge"), std::numeric_limits<int>::max());
        EXPECT_EQ(read.bits("bits"), (std::vector<bool>{false, true, true}));
        EXPECT_TRUE(read.isComplete());
    }
    const char* refused[][2] = {{"negative", "whole"},
                                {"huge", "integer"},
                                {"colour", "real"},
                                {"bits", "real"},
                                {"text", "vector"}};
    for (const auto& [name, kind] : refused) {
        RecordValues read(values);
        const QString key = QString::fromLatin1(name);
        const QString how = QString::fromLatin1(kind);
        if (how == "whole")
            read.whole(key);
        else if (how == "integer")
            read.integer(key);
        else if (how == "real")
            read.real(key);
        else
            read.vector(key);
        EXPECT_FALSE(read.isComplete()) << name << " as " << kind;
        EXPECT_TRUE(read.getProblem().contains(key));
        read.real("text");
        EXPECT_TRUE(read.getProblem().contains(key)) << "the first problem is kept";
    }
}

// A rate and a time give the cells of the distance they come to, on the volume's own cells;
// an etch's other rates etch those materials by their own rate × time; the menu operation
// given the same recipe agrees.
TEST_F(ExecutorTest, RateAndTimeRecordsEqualTheDistanceTheyComeTo) {
    const QVariantMap byRate{{names::byRateAndTime, true}};
    const auto with = [](QVariantMap values, const QVariantMap& more) {
        for (auto it = more.begin(); it != more.end(); ++it)
            values.insert(it.key(), it.value());
        return values;
    };
    struct Case {
        int type;
        float cell;
        QVariantMap recipe;
        std::vector<std::pair<int, QVariantMap>> equivalent;
    };
    const std::vector<Case> cases = {
        {ProcessTypes::CVD,
         1.f,
         withMaterial(with(byRate, {{names::rate, 0.5}, {names::time, 4.0}}), Oxide),
         {{ProcessTypes::CVD, withMaterial({{names::thickness, 2.0}}, Oxide)}}},
        // 2 µm on half-micron cells is four cells, and 2 scene units.
        {ProcessTypes::IsotropicEtching,
         0.5f,
         withMaterial(with(byRate, {{names::rate, 0.25}, {names::time, 8.0}}), Oxide),
         {{ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 2.0}}, Oxide)}}},
        {ProcessTypes::IsotropicEtching,
         1.f,
         withMaterial(with(byRate, {{names::rate, 0.5},
                                    {names::time, 2.0},
                                    {names::otherEtchRates, QStringLiteral("1:1.5;3:9")}}),
                      Oxide),
         {{ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 1.0}}, Oxide)},
          {ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 3.0}}, Silicon)}}},
        {ProcessTypes::SimpleRIE,
         0.5f,
         withMaterial(
             with(byRate, {{names::rate, 1.0}, {names::time, 1.5}, {names::etchDirectionValue, 1}}),
             Silicon),
         {{ProcessTypes::SimpleRIE,
           withMaterial({{names::etchDepth, 3u}, {names::etchDirectionValue, 1}}, Silicon)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        BatchSide byTime, byDistance;
        byTime.executor.setVolume(makeVolume(12, 5, 14, waferScene(), c.cell, c.cell, c.cell));
        byDistance.executor.setVolume(makeVolume(12, 5, 14, waferScene(), c.cell, c.cell, c.cell));
        const auto result = byTime.executor.execute(c.type, c.recipe);
        ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
        for (const auto& [type, values] : c.equivalent)
            ASSERT_TRUE(byDistance.executor.execute(type, values).isDone());
        EXPECT_EQ(materialsOf(*byTime.executor.getVolume()),
                  materialsOf(*byDistance.executor.getVolume()));
        EXPECT_NE(materialsOf(*byTime.executor.getVolume()),
                  materialsOf(*makeVolume(12, 5, 14, waferScene())));
    }

    // The menu's etch with the same recipe as the third case.
    auto op = startOn<IsotropicFilmEtchingOperation>(*this);
    RateRecipe recipe;
    recipe.rate = 0.5;
    recipe.time = 2.0;
    recipe.otherRates = {{Silicon, 1.5}, {Oxide, 9.0}};
    op->setRate(recipe);
    op->setMaterialId(Oxide);
    op->end();
    BatchSide batch;
    batch.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
    ASSERT_TRUE(batch.executor.execute(ProcessTypes::IsotropicEtching, cases[2].recipe).isDone());
    EXPECT_EQ(materialsOf(*volume), materialsOf(*batch.executor.getVolume()));
    EXPECT_TRUE(context.processHistory.isLatticeRebuildNeeded(volume->getId()))
        << "silicon went with the oxide";

    // Bad recipes are refused whole.
    for (const QVariantMap& bad :
         {withMaterial(with(byRate, {{names::rate, -1.0}, {names::time, 2.0}}), Oxide),
          withMaterial(with(byRate, {{names::rate, 1.0},
                                     {names::time, 2.0},
                                     {names::otherEtchRates, QStringLiteral("3=1")}}),
                       Oxide)}) {
        BatchSide refused;
        refused.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
        EXPECT_EQ(refused.executor.execute(ProcessTypes::IsotropicEtching, bad).outcome,
                  Outcome::NotRun);
        EXPECT_EQ(materialsOf(*refused.executor.getVolume()),
                  materialsOf(*makeVolume(12, 5, 14, waferScene())));
    }
}

TEST_F(ExecutorTest, LengthsRoundToTheNearestCellSaySoAndBelowHalfACellAreRefused) {
    // Aluminium on the open half of the wafer (silicon up to z = 6 cells): the film's cells in
    // one column there.
    const auto filmCells = [](Model::Automaton::TotalVolume& v) {
        int cells = 0;
        for (int z = 0; z < int(v.getSizeZ()); ++z)
            cells += materialAt(v, 9, 2, z) == Aluminium;
        return cells;
    };
    struct Case {
        double microns;
        float cell;
        int cells;
        QString note;
    };
    const std::vector<Case> cases = {
        {1.5, 1.f, 2, QStringLiteral("1.5 µm is 1.5 cells of 1 µm: deposited 2 cells = 2 µm")},
        {2.9, 1.f, 3, QStringLiteral("2.9 µm is 2.9 cells of 1 µm: deposited 3 cells = 3 µm")},
        {0.6, 1.f, 1, QStringLiteral("0.6 µm is 0.6 cells of 1 µm: deposited 1 cell = 1 µm")},
        {2.0, 1.f, 2, QString()},
        {1.5, 0.5f, 3, QString()},
        {0.3, 0.1f, 3, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.microns << " µm on " << c.cell << " µm cells");
        BatchSide batch;
        batch.executor.setVolume(makeVolume(12, 5, 14, waferScene(), c.cell, c.cell, c.cell));
        const auto result = batch.executor.execute(
            ProcessTypes::CVD, withMaterial({{names::thickness, c.microns}}, Aluminium));
        ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
        EXPECT_EQ(filmCells(*batch.executor.getVolume()), c.cells);
        EXPECT_EQ(result.note, c.note);
        ASSERT_EQ(result.made.size(), 1u);
        EXPECT_EQ(result.made[0].parameter, names::thickness);
        EXPECT_NEAR(result.made[0].microns, c.cells * c.cell, 1e-6);
    }

    // Below half a cell a step would change nothing: it is refused, whatever it is.
    for (const auto& [type, values] : std::vector<std::pair<int, QVariantMap>>{
             {ProcessTypes::CVD, withMaterial({{names::thickness, 0.4}}, Aluminium)},
             {ProcessTypes::IsotropicEtching, withMaterial({{names::depth, 0.4}}, Silicon)},
             {ProcessTypes::SiWetEtching, {{names::depth, 0.4}}}}) {
        BatchSide batch;
        batch.executor.setVolume(makeVolume(12, 5, 14, waferScene()));
        const auto result = batch.executor.execute(type, values);
        EXPECT_EQ(result.outcome, Outcome::NotRun) << type;
        EXPECT_TRUE(result.problem.contains(QStringLiteral("of 0.4 µm is less than half a cell of "
                                                           "1 µm")))
            << result.problem.toStdString();
        EXPECT_EQ(materialsOf(*batch.executor.getVolume()),
                  materialsOf(*makeVolume(12, 5, 14, waferScene())));
    }

    // A wet etch of 6.84 µm on an open wafer takes seven cells, not six.
    BatchSide batch;
    batch.executor.setVolume(makeVolume(8, 8, 10, [](int, int, int z) { return z < 9 ? 1 : 0; }));
    const auto etched = batch.executor.execute(
        ProcessTypes::SiWetEtching, {{names::depth, 6.84}, {names::periodicSides, true}});
    ASSERT_TRUE(etched.isDone()) << etched.problem.toStdString();
    EXPECT_EQ(materialAt(*batch.executor.getVolume(), 4, 4, 1), Silicon);
    EXPECT_EQ(materialAt(*batch.executor.getVolume(), 4, 4, 2), 0);
    EXPECT_EQ(etched.note, QStringLiteral("6.84 µm is 6.84 cells of 1 µm: etched 7 cells = 7 µm"));
}

TEST_F(ExecutorTest, TheMenuStepsRoundAndRefuseAsTheRecordsDo) {
    auto deposit = startOn<IsotropicFilmDepositionOperation>(*this);
    deposit->setMaterialId(Aluminium);
    deposit->setDistance(1.5f);
    deposit->end();
    EXPECT_EQ(materialAt(*volume, 9, 2, 7), Aluminium);
    EXPECT_EQ(materialAt(*volume, 9, 2, 8), 0);
    EXPECT_TRUE(log->lines.contains(QStringLiteral(
        "Isotropic Deposition: 1.5 µm is 1.5 cells of 1 µm: deposited 2 cells = 2 µm.")))
        << log->lines.join(QLatin1Char('\n')).toStdString();

    const auto before = materialsOf(*volume);
    auto doping = startOn<DopingOperation>(*this);
    doping->setDopedMaterialId(NDoped);
    doping->setDepth(0.2f);
    doping->end();
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_TRUE(log->lines.contains(QStringLiteral(
        "Doping: The doping depth of 0.2 µm is less than half a cell of 1 µm and would change "
        "no cell.")))
        << log->lines.join(QLatin1Char('\n')).toStdString();
}

// A poly plate on a 2-cell oxide film: a release etch of 3 µm frees the 4-cell-wide tongue but
// leaves oxide under the wide pad, so one structure is anchored, with the undercut below its
// anchor; a longer etch takes the last oxide and leaves the plate loose. The sacrificial
// material is oxide unless the record says otherwise, and the rate and time are required.
TEST(ReleaseEtchStep, FreesTheTongueReportsTheAnchorAndThenTheLoosePlate) {
    constexpr int Poly = 16;
    const auto scene = [](int x, int y, int z) {
        if (z < 3)
            return Silicon;
        if (z < 5)
            return Oxide;
        const bool pad = x < 16;
        const bool tongue = x >= 16 && x < 30 && y >= 6 && y < 10;
        return z < 6 && (pad || tongue) ? Poly : 0;
    };
    BatchSide batch;
    batch.executor.setVolume(makeVolume(32, 16, 8, scene));
    const QVariantMap timed{{names::rate, 1.0}, {names::time, 3.0}};
    const auto result = batch.executor.execute(ProcessTypes::ReleaseEtch, timed);
    ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
    ASSERT_TRUE(result.measurement);
    EXPECT_EQ(result.resultName, QStringLiteral("release"));
    const auto& bodies = result.measurement->bodies;
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[1].hold, Model::Metrology::FreeBody::Hold::Anchored);
    // Every column of the tongue is free: 14 x 4 cells of underside at least.
    EXPECT_GE(bodies[1].released, 56.0);
    ASSERT_FALSE(bodies[1].undercutMeasurement.isEmpty());
    QString problem;
    const auto undercut =
        Model::Metrology::MeasurementQuery::parse(bodies[1].undercutMeasurement, problem);
    ASSERT_TRUE(undercut) << problem.toStdString();
    const auto measured = Model::Metrology::measure(*batch.executor.getVolume(), *undercut);
    EXPECT_EQ(measured.quantities.front().value, bodies[1].undercut);
    EXPECT_GT(bodies[1].undercut, 1.0);

    const auto longer = batch.executor.execute(ProcessTypes::ReleaseEtch,
                                               {{names::rate, 1.0}, {names::time, 20.0}});
    ASSERT_TRUE(longer.isDone()) << longer.problem.toStdString();
    ASSERT_EQ(longer.measurement->bodies.size(), 2u);
    EXPECT_EQ(longer.measurement->bodies[1].hold, Model::Metrology::FreeBody::Hold::Loose);

    // Naming poly as the sacrificial material etches it instead of the oxide.
    batch.executor.setVolume(makeVolume(32, 16, 8, scene));
    QVariantMap poly = timed;
    poly.insert(names::material().id, uint(Poly));
    ASSERT_TRUE(batch.executor.execute(ProcessTypes::ReleaseEtch, poly).isDone());
    EXPECT_EQ(materialAt(*batch.executor.getVolume(), 20, 8, 5), 0);
    EXPECT_EQ(materialAt(*batch.executor.getVolume(), 20, 8, 4), Oxide);

    const auto refused = batch.executor.execute(ProcessTypes::ReleaseEtch, {{names::rate, 1.0}});
    EXPECT_EQ(refused.outcome, Outcome::NotRun);
    EXPECT_TRUE(refused.problem.contains(names::time)) << refused.problem.toStdString();
}

} // namespace CELLVANE_TEST_FILE
