#include "Core/Operations/Document/crosssectionexport.h"
#include "support/exportscenes.h"
#include "support/qtprinters.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace testing_support;
using Core::Operations::CrossSectionExport;

namespace {

// The registry's colours as its file stores them.
QRgb registryColor(int material) {
    const std::map<int, QRgb> colours = {
        {exportSilicon, 0xff7f7f7f}, {exportOxide, 0xff7f7fff}, {exportAluminium, 0xffb2b2b2}};
    return colours.at(material);
}

// Whether every pixel within `radius` of (x, y) has the colour of (x, y): a point well inside
// a region of one colour, away from lines, text and region edges.
bool insideUniformRegion(const QImage& image, int x, int y, int radius) {
    const QRgb colour = image.pixel(x, y);
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.pixel(x + dx, y + dy) != colour)
                return false;
    return true;
}

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

// The y = 5.5 plane of the export scene holds 72 silicon, 28 oxide and 5 aluminium cells.
TEST(CrossSectionProgram, PngAndSvgShowTheSameCellsAsAnIndependentRendererDrawsThem) {
    QTemporaryDir dir;
    const QString document =
        writeDocument(dir.filePath(QStringLiteral("scene.cvx")), {exportScene()});
    const QString png = dir.filePath(QStringLiteral("cut.png"));
    const QString svg = dir.filePath(QStringLiteral("cut.svg"));
    for (const QString& out : {png, svg}) {
        int exitCode = -1;
        const QString said = runTool(QStringLiteral(CELLVANE_SECTION_PROGRAM),
                                     {document, QStringLiteral("--plane"), QStringLiteral("y=5.5"),
                                      QStringLiteral("--pixels-per-cell"), QStringLiteral("20"),
                                      QStringLiteral("--out"), out},
                                     &exitCode);
        ASSERT_EQ(exitCode, 0) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("Wrote "))) << said.toStdString();
    }
    const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    ASSERT_FALSE(rsvg.isEmpty()) << "rsvg-convert (librsvg2-bin) is needed";
    const QString rendered = dir.filePath(QStringLiteral("rendered.png"));
    int exitCode = -1;
    const QString said = runTool(rsvg, {QStringLiteral("-o"), rendered, svg}, &exitCode);
    ASSERT_EQ(exitCode, 0) << said.toStdString();

    const QImage ours = QImage(png).convertToFormat(QImage::Format_RGB32);
    // Renderers blend a transparent background with black; the picture paints its own white.
    const QImage theirs = QImage(rendered).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(ours.isNull());
    ASSERT_EQ(theirs.size(), ours.size());

    // Every material of the plane shows in its registry colour over at least the inner part
    // of each of its cells.
    const std::map<int, int> cells = {{exportSilicon, 72}, {exportOxide, 28}, {exportAluminium, 5}};
    std::map<QRgb, int> counts;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x)
            ++counts[ours.pixel(x, y)];
    for (const auto& [material, count] : cells) {
        SCOPED_TRACE(material);
        EXPECT_GE(counts[registryColor(material)], count * 19 * 19);
        EXPECT_LE(counts[registryColor(material)], count * 20 * 20 + 16 * 16);
    }

    // Wherever our picture is of one colour all around (cells, swatches, the background), the
    // other renderer draws that colour too.
    int sampled = 0;
    for (int y = 6; y < ours.height() - 6; y += 3)
        for (int x = 6; x < ours.width() - 6; x += 3) {
            if (!insideUniformRegion(ours, x, y, 5))
                continue;
            ++sampled;
            ASSERT_LE(channelDistance(ours.pixel(x, y), theirs.pixel(x, y)), 2)
                << "at " << x << ", " << y;
        }
    EXPECT_GT(sampled, 1000);
}

TEST(CrossSectionProgram, RefusesBadPlanesAndInputWithItsExitCodes) {
    QTemporaryDir dir;
    const QString program = QStringLiteral(CELLVANE_SECTION_PROGRAM);
    const QString one = writeDocument(dir.filePath(QStringLiteral("one.cvx")), {exportScene()});
    const QString out = dir.filePath(QStringLiteral("cut.svg"));
    const QString plane = QStringLiteral("--plane");
    const QString outOption = QStringLiteral("--out");
    struct Case {
        QStringList arguments;
        int exitCode;
        QString says;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("--help")}, 0, QStringLiteral("--plane <AXIS=C>")},
        {{one, outOption, out}, 2, QStringLiteral("no plane given")},
        {{one, plane, QStringLiteral("y=3")}, 2, QStringLiteral("no picture given")},
        {{one, plane, QStringLiteral("w=3"), outOption, out}, 2, QStringLiteral("not 'w=3'")},
        {{one, plane, QStringLiteral("y=3"), outOption, out, QStringLiteral("--dimension"),
          QStringLiteral("1,2:3,4,5")},
         2,
         QStringLiteral("X1,Y1,Z1:X2,Y2,Z2[:TEXT]")},
        {{dir.filePath(QStringLiteral("missing.cvx")), plane, QStringLiteral("y=3"), outOption,
          out},
         2,
         QStringLiteral("Unable to open")},
        // The scene is 10 cells of 1 µm deep: y = 10 is its far face, outside every cell.
        {{one, plane, QStringLiteral("y=10"), outOption, out},
         1,
         QStringLiteral(
             "The plane y = 10 µm lies outside the cell volume: y runs from 0 to 10 µm")},
        {{one, plane, QStringLiteral("z=-0.5"), outOption, out},
         1,
         QStringLiteral("lies outside the cell volume")},
        {{one, plane, QStringLiteral("x=2"), outOption,
          dir.filePath(QStringLiteral("one.cvx/a.png"))},
         1,
         QStringLiteral("Could not write")},
        {{one, plane, QStringLiteral("Z = 9.99"), outOption, out, QStringLiteral("--dimension"),
          QStringLiteral("1,1,9.5:4,1,9.5"), QStringLiteral("--dimension"),
          QStringLiteral("1,1,2:4,1,2:off the plane")},
         0,
         QStringLiteral("1 dimension lies outside the cut layer")},
        // Measurements drawn on the picture: refused words are bad usage, a measurement
        // without an answer draws nothing, one whose arrow lies on the layer draws it.
        {{one, plane, QStringLiteral("y=1.5"), outOption, out, QStringLiteral("--measure"),
          QStringLiteral("tallness@1,1")},
         2,
         QStringLiteral("tallness")},
        {{one, plane, QStringLiteral("y=1.5"), outOption, out, QStringLiteral("--measure"),
          QStringLiteral("top@99,1")},
         1,
         QStringLiteral("lies outside the volume")},
        {{one, plane, QStringLiteral("y=1.5"), outOption, out, QStringLiteral("--measure"),
          QStringLiteral("top@1,1.5")},
         0,
         QStringLiteral("Wrote")},
        // A measurement whose arrow misses the cut layer, or that has none, fails the picture
        // by its name rather than leaving its arrow out.
        {{one, plane, QStringLiteral("y=1.5"), outOption, out, QStringLiteral("--measure"),
          QStringLiteral("top@1,1.5"), QStringLiteral("--measure"), QStringLiteral("top@1,6.5")},
         1,
         QStringLiteral("top@1,6.5: the measurement lies outside the cut layer of y = 1.5 µm")},
        {{one, plane, QStringLiteral("y=1.5"), outOption, out, QStringLiteral("--measure"),
          QStringLiteral("volumes")},
         1,
         QStringLiteral("volumes: the measurement has no arrow to draw in a section")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QFile::remove(out);
        int exitCode = -1;
        const QString said = runTool(program, c.arguments, &exitCode);
        EXPECT_EQ(exitCode, c.exitCode) << said.toStdString();
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
        // Only a picture that was drawn is left behind.
        EXPECT_EQ(QFileInfo::exists(out), c.exitCode == 0 && c.arguments.contains(out));
    }
}

TEST(CrossSectionExport, DimensionsAreReadAsTwoPointsAndAnOptionalText) {
    struct Case {
        const char* text;
        bool read;
        double length;
        const char* label;
    };
    const Case cases[] = {
        {"0,0,0:3,4,0", true, 5, "5 µm"},
        {"1,1,1:1,1,3.5:depth: 2.5 µm", true, 2.5, "depth: 2.5 µm"},
        {"0,0:1,1,1", false, 0, ""},
        {"0,0,0", false, 0, ""},
        {"0,0,nan:1,1,1", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString problem;
        const auto dimension =
            CrossSectionExport::parseDimension(QString::fromUtf8(c.text), &problem);
        ASSERT_EQ(dimension.has_value(), c.read) << problem.toStdString();
        if (!dimension)
            continue;
        EXPECT_DOUBLE_EQ(dimension->value, c.length);
        EXPECT_EQ(dimension->label, QString::fromUtf8(c.label));
    }
}

} // namespace CELLVANE_TEST_FILE
