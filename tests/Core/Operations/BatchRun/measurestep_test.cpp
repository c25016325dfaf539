#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Undo/processhistory.h"
#include "support/scenes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
namespace names = Core::Operations::RecordParameters;
using Outcome = ProcessRecordExecutor::Outcome;

namespace {

constexpr int Silicon = 1, Oxide = 3;

QVariantMap measurement(const QString& text, const QString& name = QString()) {
    QVariantMap values{{names::measurement, text}};
    if (!name.isNull())
        values.insert(names::resultName, name);
    return values;
}

} // namespace

// A square oxide opening on (100) silicon, etched atom by atom until the pit closes: an
// inverted pyramid whose {111} walls stand at 54.74° to the surface. The walls are measured
// between the mask and the tip, on a line through the pit's centre.
TEST(MeasureStep, TheInvertedPyramidOfAWetEtchHasItsHundredElevenWalls) {
    constexpr int size = 26, top = 18, open0 = 5, open1 = 21;
    auto volume = makeVolume(size, size, top + 2, [](int x, int y, int z) {
        if (z < top)
            return Silicon;
        if (z == top)
            return x >= open0 && x < open1 && y >= open0 && y < open1 ? 0 : Oxide;
        return 0;
    });
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    executor.setVolume(volume);
    ASSERT_TRUE(executor.execute(ProcessTypes::SiWetEtching, {{names::depth, 30.0}}).isDone());

    const double tan111 = std::sqrt(2.0);
    for (const char* text : {"angle:Si@x,13,13,8..17.5", "angle:Si@-x,13,13,8..17.5",
                             "angle:Si@y,13,13,8..17.5", "angle:Si@-y,13,13,8..17.5"}) {
        SCOPED_TRACE(text);
        const auto result =
            executor.execute(ProcessTypes::Measure, measurement(QString::fromLatin1(text), "wall"));
        ASSERT_TRUE(result.isDone()) << result.problem.toStdString();
        ASSERT_TRUE(result.measurement);
        const double angle = result.measurement->quantities.front().value;
        EXPECT_NEAR(angle, std::atan(tan111) * 180.0 / 3.14159265358979323846, 2.0);
        RecordProperty(text, QString::number(angle, 'f', 2).toStdString());
    }
    // The tip lies about (16 / 2) · √2 ≈ 11 cells below the surface; the cell lattice closes it
    // a little higher.
    const auto depth = executor.execute(ProcessTypes::Measure,
                                        measurement(QStringLiteral("depth:Si@0,0..25.9,25.9")));
    ASSERT_TRUE(depth.isDone()) << depth.problem.toStdString();
    EXPECT_NEAR(depth.measurement->quantities.front().value, 11.3, 1.5);
    const auto opening = executor.execute(ProcessTypes::Measure,
                                          measurement(QStringLiteral("width:empty@x,13,18.5")));
    ASSERT_TRUE(opening.isDone()) << opening.problem.toStdString();
    EXPECT_DOUBLE_EQ(opening.measurement->quantities.front().value, double(open1 - open0));
}

// A measurement reads the volume only: the cells and the history stay as they were, and a
// result goes by its own name or, without one, by its text.
TEST(MeasureStep, ChangesNoCellAndSaysWhyWhenThereIsNoAnswer) {
    auto volume = makeVolume(6, 6, 6, [](int, int, int z) { return z < 3 ? Silicon : 0; });
    ProcessHistory history;
    ProcessRecordExecutor executor(history, {});
    EXPECT_EQ(
        executor.execute(ProcessTypes::Measure, measurement(QStringLiteral("top@1,1"))).outcome,
        Outcome::NoVolume);
    executor.setVolume(volume);
    const auto before = materialsOf(*volume);

    const auto named =
        executor.execute(ProcessTypes::Measure, measurement(QStringLiteral("top@1,1"), "height"));
    ASSERT_TRUE(named.isDone());
    EXPECT_EQ(named.resultName, QStringLiteral("height"));
    EXPECT_DOUBLE_EQ(named.measurement->quantities.front().value, 3.0);
    const auto unnamed =
        executor.execute(ProcessTypes::Measure, measurement(QStringLiteral(" thickness:Si@1,1 ")));
    EXPECT_EQ(unnamed.resultName, QStringLiteral("thickness:Si@1,1"));

    struct Case {
        QVariantMap values;
        Outcome outcome;
        const char* says;
    };
    const Case cases[] = {
        {measurement(QStringLiteral("top@7,1")), Outcome::NoAnswer, "x = 7 µm lies outside"},
        {measurement(QStringLiteral("thickness:SiO2@1,1")), Outcome::NoAnswer, "holds no SiO2"},
        {measurement(QStringLiteral("top@1")), Outcome::NotRun, "is no place for top"},
        {{}, Outcome::NotRun, "Measurement"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const auto result = executor.execute(ProcessTypes::Measure, c.values);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_TRUE(result.problem.contains(QString::fromUtf8(c.says)))
            << result.problem.toStdString();
        EXPECT_EQ(result.measurement.has_value(), c.outcome == Outcome::NoAnswer);
    }
    EXPECT_EQ(materialsOf(*volume), before);
    EXPECT_EQ(history.lastOperation(volume->getId()), 0u);
}

} // namespace CELLVANE_TEST_FILE
