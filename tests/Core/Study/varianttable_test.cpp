#include "Core/Study/studyplan.h"
#include "Core/Study/varianttable.h"

#include <gtest/gtest.h>

#include <set>

namespace CELLVANE_TEST_FILE {

using namespace Core::Study;

TEST(VariantTable, ReadsWhatSpreadsheetsWriteAndRefusesWhatNamesNoVariant) {
    struct Case {
        const char* text;
        bool ok;
        const char* problem;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBFid,2.Thickness,4.Etch Depth\r\na,1.5,5\r\nb,\"2,5\",\r\n", true, ""},
        {"id,2.Thickness\n", false, "no variants"},
        {"", false, "empty"},
        {"name,2.Thickness\na,1\n", false, "first column"},
        {"id,Thickness\na,1\n", false, "STEP.NAME"},
        {"id,2.Thickness,2.Thickness\na,1,2\n", false, "twice"},
        {"id,2.Thickness\na,1\na,2\n", false, "twice"},
        {"id,2.Thickness\n../up,1\n", false, "plain name"},
        {"id,2.Thickness\n.hidden,1\n", false, "plain name"},
        {"id,2.Thickness\na,1,2\n", false, "3 fields"},
        {"id,2.Thickness\na,\"1\n", false, "never closed"},
        {"id,2.Thickness\na,\"1\"x\n", false, "after a closing quote"},
    };
    for (const Case& c : cases) {
        VariantTable table;
        QString problem;
        EXPECT_EQ(VariantTable::parse(QByteArray(c.text), table, problem), c.ok) << c.text;
        EXPECT_TRUE(problem.contains(QLatin1String(c.problem))) << problem.toStdString();
    }
    VariantTable table;
    QString problem;
    ASSERT_TRUE(VariantTable::parse("id,2.Thickness,4.Etch Depth\r\na,1.5,5\r\nb,\"2,5\",\r\n",
                                    table, problem));
    EXPECT_EQ(table.parameters, QStringList({"2.Thickness", "4.Etch Depth"}));
    ASSERT_EQ(table.variants.size(), 2u);
    EXPECT_EQ(table.settings(table.variants[0]),
              QStringList({"2.Thickness=1.5", "4.Etch Depth=5"}));
    // An empty cell keeps the list's value: no --set for it.
    EXPECT_EQ(table.settings(table.variants[1]), QStringList({"2.Thickness=2,5"}));
    VariantTable again;
    ASSERT_TRUE(VariantTable::parse(table.csv(), again, problem));
    EXPECT_EQ(again.csv(), table.csv());
}

TEST(StudyPlan, GridsAndLatinHypercubesCoverTheirRanges) {
    std::vector<VariedParameter> parameters(2);
    QString problem;
    ASSERT_TRUE(VariedParameter::parse("2.Thickness=1:3:0.5", parameters[0], problem));
    ASSERT_TRUE(VariedParameter::parse("4.Etch Depth=5,10,15", parameters[1], problem));
    EXPECT_EQ(parameters[0].levels, QStringList({"1", "1.5", "2", "2.5", "3"}));
    // Steps that do not add up exactly in binary still reach the end, without noise digits.
    VariedParameter tenths;
    ASSERT_TRUE(VariedParameter::parse("2.Thickness=0.1:0.3:0.1", tenths, problem));
    EXPECT_EQ(tenths.levels, QStringList({"0.1", "0.2", "0.3"}));
    for (const char* bad : {"2.Thickness", "Thickness=1:2:1", "2.Thickness=3:1:1",
                            "2.Thickness=1:3:0", "2.Thickness=1:x:1", "2.Thickness=", "0.T=1"}) {
        VariedParameter parameter;
        EXPECT_FALSE(VariedParameter::parse(bad, parameter, problem)) << bad;
    }

    const VariantTable grid = StudyPlan::grid(parameters);
    ASSERT_EQ(grid.variants.size(), 15u);
    EXPECT_EQ(grid.variants.front().id, "v001");
    EXPECT_EQ(grid.variants[1].values, QStringList({"1", "10"}));
    EXPECT_EQ(grid.variants.back().values, QStringList({"3", "15"}));

    VariedParameter continuous;
    ASSERT_TRUE(VariedParameter::parse("2.Thickness=1:3", continuous, problem));
    const std::vector<VariedParameter> sampled{continuous, parameters[1]};
    const int count = 12;
    const VariantTable cube = StudyPlan::latinHypercube(sampled, count, 7);
    ASSERT_EQ(cube.variants.size(), std::size_t(count));
    std::set<int> strata;
    std::map<QString, int> levels;
    for (const auto& variant : cube.variants) {
        const double value = variant.values[0].toDouble();
        EXPECT_GE(value, 1.0);
        EXPECT_LT(value, 3.0);
        strata.insert(int((value - 1.0) / 2.0 * count));
        ++levels[variant.values[1]];
    }
    // Every stratum exactly once; a parameter of three levels takes each a third of the time.
    EXPECT_EQ(strata.size(), std::size_t(count));
    EXPECT_EQ(levels, (std::map<QString, int>{{"5", 4}, {"10", 4}, {"15", 4}}));
    EXPECT_EQ(StudyPlan::latinHypercube(sampled, count, 7).csv(), cube.csv());
    EXPECT_NE(StudyPlan::latinHypercube(sampled, count, 8).csv(), cube.csv());
}

} // namespace CELLVANE_TEST_FILE
