#include "Model/Export/crosssection.h"
#include "support/exportscenes.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace testing_support;
using Model::Export::CrossSection;
using Model::Export::SectionPlane;
using Axis = SectionPlane::Axis;

TEST(SectionPlane, IsReadAsAnAxisAndMicrometres) {
    struct Case {
        const char* text;
        bool read;
        Axis axis;
        double position;
    };
    const Case cases[] = {
        {"y=12.5", true, Axis::Y, 12.5}, {" X = 3 ", true, Axis::X, 3},
        {"z=-1", true, Axis::Z, -1},     {"z=1e-3", true, Axis::Z, 0.001},
        {"w=1", false, {}, 0},           {"y=", false, {}, 0},
        {"y=inf", false, {}, 0},         {"y=1=2", false, {}, 0},
        {"y 12", false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString problem;
        const auto plane = SectionPlane::parse(QString::fromLatin1(c.text), &problem);
        ASSERT_EQ(plane.has_value(), c.read);
        if (!plane) {
            EXPECT_TRUE(problem.contains(QStringLiteral("x=C, y=C or z=C")));
            continue;
        }
        EXPECT_EQ(plane->axis, c.axis);
        EXPECT_DOUBLE_EQ(plane->position, c.position);
    }
}

// Cells of 0.5 x 1 x 2 µm: a position picks the layer whose extent holds it, the picture's
// axes are the two others, rows go up from the bottom, and every cell is the volume's.
TEST(CrossSection, TakesTheLayerHoldingThePositionOnEveryAxis) {
    auto volume = exportScene(0.5f, 1.f, 2.f);
    struct Case {
        SectionPlane plane;
        unsigned layer;
        Axis horizontal, vertical;
        unsigned columns, rows;
        double cellWidth, cellHeight;
    };
    const Case cases[] = {
        {{Axis::Y, 5.5}, 5, Axis::X, Axis::Z, 14, 12, 0.5, 2},
        {{Axis::Y, 5.0}, 5, Axis::X, Axis::Z, 14, 12, 0.5, 2}, // a face belongs to the cell above
        {{Axis::X, 6.9}, 13, Axis::Y, Axis::Z, 10, 12, 1, 2},  // the last layer
        {{Axis::Z, 0.0}, 0, Axis::X, Axis::Y, 14, 10, 0.5, 1},
        {{Axis::Z, 17.5}, 8, Axis::X, Axis::Y, 14, 10, 0.5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plane.text().toStdString());
        const auto section = CrossSection::take(*volume, c.plane);
        ASSERT_TRUE(section);
        EXPECT_EQ(section->layer, c.layer);
        EXPECT_EQ(section->horizontalAxis, c.horizontal);
        EXPECT_EQ(section->verticalAxis, c.vertical);
        EXPECT_EQ(section->columns, c.columns);
        EXPECT_EQ(section->rows, c.rows);
        EXPECT_DOUBLE_EQ(section->cellWidth, c.cellWidth);
        EXPECT_DOUBLE_EQ(section->cellHeight, c.cellHeight);
        for (unsigned row = 0; row < section->rows; ++row)
            for (unsigned column = 0; column < section->columns; ++column) {
                int cell[3];
                cell[int(c.plane.axis)] = int(c.layer);
                cell[int(c.horizontal)] = int(column);
                cell[int(c.vertical)] = int(row);
                ASSERT_EQ(int(section->at(column, row)),
                          materialAt(*volume, cell[0], cell[1], cell[2]))
                    << column << ", " << row;
            }
    }
    const auto plan = CrossSection::take(*volume, {Axis::Z, 17.5});
    EXPECT_EQ(plan->presentMaterials(), (std::vector<std::uint32_t>{exportOxide}));
    const auto side = CrossSection::take(*volume, {Axis::Y, 5.5});
    EXPECT_EQ(side->presentMaterials(),
              (std::vector<std::uint32_t>{exportSilicon, exportOxide, exportAluminium}));
}

TEST(CrossSection, RefusesAPlaneOutsideTheVolumeSayingItsRange) {
    auto volume = exportScene(0.5f, 1.f, 2.f);
    for (const SectionPlane& plane :
         {SectionPlane{Axis::X, 7.0}, SectionPlane{Axis::X, -0.01}, SectionPlane{Axis::Z, 24.0}}) {
        SCOPED_TRACE(plane.text().toStdString());
        QString problem;
        EXPECT_FALSE(CrossSection::take(*volume, plane, &problem));
        EXPECT_TRUE(problem.contains(QStringLiteral("lies outside the cell volume")));
    }
    QString problem;
    CrossSection::take(*volume, {Axis::X, 7.0}, &problem);
    EXPECT_EQ(problem, QStringLiteral("The plane x = 7 µm lies outside the cell volume: x runs "
                                      "from 0 to 7 µm (not including 7)."));
}

// The exposed face of the first axis cut, in the order y, x, z; the middle of y uncut.
TEST(CrossSection, PlaneOfTheCutIsTheOutermostLayerTheViewShows) {
    auto volume = exportScene(0.5f, 1.f, 2.f);
    using Corner = std::array<int, 3>;
    struct Case {
        Corner lower, upper;
        Axis axis;
        double position;
    };
    const Case cases[] = {
        {{0, 0, 0}, {14, 10, 12}, Axis::Y, 5.5},  // nothing cut
        {{0, 3, 0}, {14, 10, 12}, Axis::Y, 3.5},  // front raised
        {{0, 0, 0}, {14, 7, 12}, Axis::Y, 6.5},   // back lowered
        {{4, 0, 0}, {14, 10, 12}, Axis::X, 2.25}, // x only
        {{4, 2, 0}, {14, 10, 12}, Axis::Y, 2.5},  // y before x
        {{0, 0, 0}, {14, 10, 9}, Axis::Z, 17},    // top lowered: plan view of layer 8
    };
    for (const Case& c : cases) {
        volume->getPainter().setCutLimits(c.lower, c.upper);
        const SectionPlane plane = CrossSection::planeOfCut(*volume);
        SCOPED_TRACE(plane.text().toStdString());
        EXPECT_EQ(plane.axis, c.axis);
        EXPECT_DOUBLE_EQ(plane.position, c.position);
    }
}

} // namespace CELLVANE_TEST_FILE
