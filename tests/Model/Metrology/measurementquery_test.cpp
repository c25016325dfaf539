#include "Model/Metrology/measurementquery.h"
#include "Model/Metrology/metricsreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Model::Metrology;
using Kind = MeasurementQuery::Kind;

namespace {

std::vector<Model::Materials::Material> registry() {
    using Model::Materials::Material;
    return {Material(1, QStringLiteral("Si"), 1, 1, 0),
            Material(3, QStringLiteral("Thermal Si02"), 1, 1, 0),
            Material(4, QStringLiteral("Al (bulk)"), 1, 1, 0),
            Material(14, QStringLiteral("N-doped Si (100)"), 1, 1, 0),
            Material(15, QStringLiteral("P-doped Si (100)"), 1, 1, 0)};
}

} // namespace

TEST(MeasurementQuery, ReadsEveryKindWithItsPlace) {
    struct Case {
        const char* text;
        Kind kind;
        std::vector<double> numbers;
        int axis = 0;
        int direction = 1;
        bool pointGiven = false;
    };
    const Case cases[] = {
        {"stack@30,30", Kind::Stack, {30, 30}},
        {" thickness:SiO2@10,10 ", Kind::Thickness, {10, 10}},
        {"thickness:Si+Al@1.5,2,3", Kind::Thickness, {1.5, 2, 3}},
        {"top@1,2", Kind::Top, {1, 2}},
        {"step:Si@1,2,3,4", Kind::Step, {1, 2, 3, 4}},
        {"width:empty@x,30,95", Kind::Width, {30, 95}},
        {"width:empty@y,1,30,95", Kind::Width, {1, 30, 95}, 1, 1, true},
        {"depth@0,0..59,59", Kind::Depth, {0, 0, 59, 59}},
        {"depth:Si@0.5,0..59.5,59,20", Kind::Depth, {0.5, 0, 59.5, 59, 20}},
        {"angle:Si@x,30,60..95", Kind::Angle, {30, 60, 95}},
        {"ANGLE:si@-y,1,2,3..4", Kind::Angle, {1, 2, 3, 4}, 1, -1, true},
        {"undercut:SiO2/Si@-x,3,4", Kind::Undercut, {3, 4}, 0, -1},
        {"volumes", Kind::Volumes, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString problem;
        const auto query = MeasurementQuery::parse(QString::fromUtf8(c.text), registry(), problem);
        ASSERT_TRUE(query) << problem.toStdString();
        EXPECT_EQ(query->kind, c.kind);
        EXPECT_EQ(query->numbers, c.numbers);
        EXPECT_EQ(query->axis, c.axis);
        EXPECT_EQ(query->direction, c.direction);
        EXPECT_EQ(query->pointGiven, c.pointGiven);
    }
}

TEST(MeasurementQuery, NamesMaterialsByNameWordIdOrEmpty) {
    struct Case {
        const char* set;
        std::vector<std::uint32_t> inside;
        std::vector<std::uint32_t> outside;
    };
    const Case cases[] = {
        {"Si", {1}, {0, 3, 14}},       {"si", {1}, {3}},       {"SiO2", {3}, {1}},
        {"thermal_si02", {3}, {1}},    {"Al", {4}, {1}},       {"Al_(bulk)", {4}, {1}},
        {"14+15", {14, 15}, {1}},      {"empty", {0}, {1, 3}}, {"Si+empty", {0, 1}, {3}},
        {"solid", {1, 3, 4, 77}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        QString problem;
        const auto query = MeasurementQuery::parse(
            QStringLiteral("thickness:%1@1,1").arg(QString::fromUtf8(c.set)), registry(), problem);
        ASSERT_TRUE(query) << problem.toStdString();
        for (std::uint32_t id : c.inside)
            EXPECT_TRUE(query->set.contains(id)) << id;
        for (std::uint32_t id : c.outside)
            EXPECT_FALSE(query->set.contains(id)) << id;
    }
}

TEST(MeasurementQuery, RefusesWhatIsOutsideTheVocabularyAndSaysWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "no measurement given"},
        {"height@1,2", "'height' is no measurement; the measurements are stack, thickness"},
        {"thickness@1,2", "thickness needs a material: thickness:SET@X,Y[,Z]"},
        {"stack:Si@1,2", "stack takes no material"},
        {"stack", "stack needs '@' and a place: stack@X,Y"},
        {"stack@1", "'1' is no place for stack"},
        {"stack@1,2,3", "is no place for stack"},
        {"stack@1,a", "'a' is no number"},
        {"stack@1,nan", "'nan' is no number"},
        {"depth@0,0,5,5", "is no place for depth"},
        {"width:Si@z,1,2", "the axis must be x or y, not 'z'"},
        {"width:Si@-x,1,2", "the axis must be x or y"},
        {"angle:Si@-x,1,2..3", "the axis must be x or y"},
        {"angle:Si@q,1,2,3..4", "the axis must be x, y, -x or -y, not 'q'"},
        {"thickness:Unobtainium@1,1", "no material is called 'Unobtainium' (there are Si, "},
        {"thickness:doped@1,1", "'doped' could name"},
        {"thickness:Si+@1,1", "empty material between '+'"},
        {"thickness:@1,1", "the material after ':' is missing"},
        {"thickness:solid+Si@1,1", "'solid' already means every material"},
        {"undercut:SiO2@x,1,1", "MASK/UNDER"},
        {"volumes@1,1", "volumes takes no place"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        QString problem;
        EXPECT_FALSE(MeasurementQuery::parse(QString::fromUtf8(text), registry(), problem));
        EXPECT_TRUE(problem.contains(QString::fromUtf8(expected))) << problem.toStdString();
    }
}

TEST(MetricsReport, JsonAndCsvHoldEveryValueAndEveryMissingAnswer) {
    Measurement depth;
    depth.quantities = {{QString(), 12.0, QStringLiteral("µm")},
                        {QStringLiteral("mean"), 11.5, QStringLiteral("µm")}};
    MetricsReport report;
    report.add(5, QStringLiteral("depth:Si@0,0..59,59"), QStringLiteral("etch"), depth);
    report.add(6, QStringLiteral("width:empty@x,30,95"), QStringLiteral("cd, top"),
               Measurement::noAnswer(QStringLiteral("z = 95 µm lies outside the volume")));

    const QJsonArray metrics =
        QJsonDocument::fromJson(report.json()).object().value(QStringLiteral("metrics")).toArray();
    ASSERT_EQ(metrics.size(), 3);
    EXPECT_EQ(metrics[0].toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("etch"));
    EXPECT_EQ(metrics[0].toObject().value(QStringLiteral("step")).toInt(), 5);
    EXPECT_EQ(metrics[0].toObject().value(QStringLiteral("value")).toDouble(), 12.0);
    EXPECT_EQ(metrics[0].toObject().value(QStringLiteral("unit")).toString(), QStringLiteral("µm"));
    EXPECT_EQ(metrics[1].toObject().value(QStringLiteral("name")).toString(),
              QStringLiteral("etch.mean"));
    EXPECT_TRUE(metrics[2].toObject().value(QStringLiteral("value")).isNull());
    EXPECT_TRUE(metrics[2]
                    .toObject()
                    .value(QStringLiteral("reason"))
                    .toString()
                    .contains(QStringLiteral("outside")));

    EXPECT_EQ(QString::fromUtf8(report.csv()),
              QStringLiteral("step,name,value,unit,measurement,reason\n"
                             "5,etch,12,µm,\"depth:Si@0,0..59,59\",\n"
                             "5,etch.mean,11.5,µm,\"depth:Si@0,0..59,59\",\n"
                             "6,\"cd, top\",,,\"width:empty@x,30,95\",z = 95 µm lies outside the "
                             "volume\n"));
}

} // namespace CELLVANE_TEST_FILE
