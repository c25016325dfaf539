#include "Model/Layout/layoutmask.h"
#include "Model/Layout/layoutrasterizer.h"
#include "gdswriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sys/mman.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::PhotoMask;
using namespace Model::Layout;

namespace {

const QString referenceScript =
    QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/Model/Layout/gds_reference.py");

PhotoMask bruteForce(const std::vector<QPolygonF>& outlines, unsigned sizeX, unsigned sizeY) {
    PhotoMask mask{std::vector<bool>(std::size_t(sizeX) * sizeY), sizeX, sizeY};
    for (unsigned x = 0; x < sizeX; ++x)
        for (unsigned y = 0; y < sizeY; ++y)
            for (const QPolygonF& outline : outlines)
                if (LayoutRasterizer::covers(outline, QPointF(x + 0.5, y + 0.5)))
                    mask.bits[std::size_t(x) * sizeY + y] = true;
    return mask;
}

std::size_t mismatches(const PhotoMask& a, const PhotoMask& b) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < a.bits.size() && i < b.bits.size(); ++i)
        count += a.bits[i] != b.bits[i];
    return count;
}

} // namespace

// The painter's own rule differs from the stated one on edges through column centres and within
// its rounding of vertices; the result must not.
TEST(LayoutRasterizer, CoversExactlyTheColumnsWhoseCentresLieInsideOrOnAnEdge) {
    std::mt19937 random(29);
    std::uniform_real_distribution<double> coordinate(-5.0, 45.0);
    std::uniform_int_distribution<int> half(-10, 90);
    std::vector<QPolygonF> outlines = {
        // Edges through centres on every side, and a sliver between two rows of centres.
        QPolygonF(QRectF(QPointF(2.5, 3.5), QPointF(10.5, 9.5))),
        QPolygonF(QRectF(QPointF(12.0, 20.1), QPointF(30.0, 20.4))),
        // Diagonal edges through centres, and a polygon reaching far outside.
        QPolygonF({QPointF(20.5, 0.5), QPointF(30.5, 10.5), QPointF(20.5, 10.5)}),
        QPolygonF({QPointF(-1e9, -1e9), QPointF(1e9, -1e9), QPointF(-1e9, 2.5)}),
    };
    for (int n = 0; n < 40; ++n) {
        QPolygonF outline;
        for (int k = 0; k < 3 + n % 5; ++k)
            // Half the vertices on half-column positions, so edges run through centres.
            outline << (k % 2 ? QPointF(coordinate(random), coordinate(random))
                              : QPointF(half(random) / 2.0, half(random) / 2.0));
        outlines.push_back(outline);
    }
    LayoutRasterizer rasterizer(40, 30);
    for (const QPolygonF& outline : outlines)
        rasterizer.add(outline);
    const PhotoMask mask = rasterizer.mask();
    const PhotoMask expected = bruteForce(outlines, 40, 30);
    EXPECT_EQ(mismatches(mask, expected), 0u);

    // Centres 2.5 to 10.5 across and 3.5 to 9.5 up, both edges included; the sliver covers none.
    LayoutRasterizer alone(40, 30);
    alone.add(outlines[0]);
    alone.add(outlines[1]);
    const PhotoMask rectangle = alone.mask();
    EXPECT_EQ(std::count(rectangle.bits.begin(), rectangle.bits.end(), true), 9 * 7);
    EXPECT_TRUE(rectangle.bits[2 * 30 + 3]);
    EXPECT_TRUE(rectangle.bits[10 * 30 + 9]);
    EXPECT_FALSE(rectangle.bits[11 * 30 + 9]);
}

// An independent writer (gdspy) makes the layout; its own reader flattens it and shapely tests
// every column centre against the union of the shapes.
TEST(LayoutMask, RasterisesAnIndependentLayoutAsAPointInPolygonTestDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {referenceScript, dir.path()});
    ASSERT_TRUE(python.waitForFinished(120000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();

    LayoutLibrary library;
    QString problem;
    ASSERT_TRUE(LayoutLibrary::read(dir.filePath(QStringLiteral("layout.gds")), library, problem))
        << problem.toStdString();
    EXPECT_NEAR(library.databaseUnit(), 1e-3, 1e-12);
    ASSERT_EQ(library.topCells().size(), 1u);
    EXPECT_EQ(library.cells()[std::size_t(library.topCells()[0])].name, "TOP");

    for (int n = 0; n < 3; ++n) {
        QFile file(dir.filePath(QStringLiteral("reference-%1.txt").arg(n)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream in(&file);
        ColumnGrid grid;
        LayoutMaskSource source;
        int mirrored = 0;
        QString bits;
        in >> grid.sizeX >> grid.sizeY >> grid.cellSizeX >> grid.cellSizeY >> source.offsetX >>
            source.offsetY >> source.rotation >> mirrored >> bits;
        source.mirrored = mirrored != 0;
        source.layer = 1;
        PhotoMask mask;
        ASSERT_TRUE(LayoutMask::rasterise(library, source, grid, mask, problem))
            << problem.toStdString();
        ASSERT_EQ(mask.width, grid.sizeX);
        ASSERT_EQ(mask.height, grid.sizeY);
        ASSERT_EQ(std::size_t(bits.size()), mask.bits.size());
        std::size_t covered = 0;
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < mask.bits.size(); ++i) {
            covered += bits[int(i)] == QLatin1Char('1');
            wrong += mask.bits[i] != (bits[int(i)] == QLatin1Char('1'));
        }
        std::cout << "placement " << n << ": " << mask.bits.size() << " columns, " << covered
                  << " covered by the reference, " << wrong << " mismatches" << std::endl;
        EXPECT_EQ(wrong, 0u) << "placement " << n;
        EXPECT_GT(covered, mask.bits.size() / 20);

        source.inverted = true;
        PhotoMask inverse;
        ASSERT_TRUE(LayoutMask::rasterise(library, source, grid, inverse, problem));
        inverse.bits.flip();
        EXPECT_EQ(inverse, mask);
    }
}

TEST(LayoutMask, ReadsBoxesAndKeepsCellNamesApart) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("names.gds"));
    // The library folds digits in names; CELL1 and CELL2 must stay two cells.
    GdsWriter()
        .begin()
        .cell("CELL1")
        .square(1, 0, 0, 0, 2000)
        .endCell()
        .cell("CELL2")
        .box(1, 0, 0, 0, 4000)
        .endCell()
        .cell("TOP")
        .reference("CELL1", 0, 0)
        .reference("CELL2", 10000, 0)
        .endCell()
        .end()
        .save(path);
    LayoutMaskSource source;
    source.file = path;
    source.layer = 1;
    PhotoMask mask;
    QString problem;
    ASSERT_TRUE(LayoutMask::rasterise(source, {20, 5, 1.0, 1.0}, mask, problem))
        << problem.toStdString();
    std::size_t covered = 0;
    for (bool bit : mask.bits)
        covered += bit;
    // Centres 0.5 and 1.5 for the 2 µm square; 10.5 to 13.5 for the 4 µm box: 3 x 3 + 4 x 5.
    EXPECT_EQ(covered, 2u * 2 + 4 * 4 + 0) << "cells placed the wrong shapes";
    EXPECT_TRUE(mask.bits[10 * 5 + 3]);
    EXPECT_FALSE(mask.bits[2 * 5 + 0]);
}

// Every refusal names what is wrong and leaves the caller's mask as it was.
TEST(LayoutMask, RefusesDamagedAndHostileLayoutsWithAReason) {
    QTemporaryDir dir;
    const auto file = [&dir](const char* name, const GdsWriter& writer) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writer.save(path);
        return path;
    };
    GdsWriter good;
    good.begin().cell("PART").square(1, 0, 0, 0, 3000).square(2, 0, 0, 0, 1000).endCell();
    good.cell("TOP").reference("PART", 1000, 1000).endCell().cell("OTHER").endCell().end();
    const QString goodFile = file("good.gds", good);
    GdsWriter truncated;
    truncated.bytes = good.bytes.left(good.bytes.size() / 2 + 1);
    GdsWriter cycle;
    cycle.begin().cell("A").reference("B", 0, 0).square(1, 0, 0, 0, 10).endCell();
    cycle.cell("B").reference("A", 5, 5).endCell().cell("TOP").reference("A", 0, 0).endCell().end();
    GdsWriter unknown;
    unknown.begin().cell("TOP").reference("MISSING", 0, 0).endCell().end();
    GdsWriter huge;
    huge.begin().cell("DOT").square(1, 0, 0, 0, 1).endCell();
    huge.cell("BIG").array("DOT", 32767, 32767, 2).endCell();
    huge.cell("TOP").array("BIG", 32767, 32767, 65534).endCell().end();
    GdsWriter units = good;
    units.bytes.replace(QByteArray::fromHex("3E4189374BC6A7F03944B82FA09B5A54"),
                        QByteArray::fromHex("7F4189374BC6A7F07F44B82FA09B5A54"));
    GdsWriter noHeader;
    noHeader.cell("TOP").endCell().end();

    struct Case {
        const char* what;
        QString file;
        QString cell;
        int layer;
        const char* reason;
    };
    const Case cases[] = {
        {"missing file", dir.filePath(QStringLiteral("none.gds")), {}, 1, "cannot be opened"},
        {"not a layout", file("text.gds", noHeader), {}, 1, "does not begin with a HEADER"},
        {"truncated", file("truncated.gds", truncated), {}, 1, "ends inside"},
        {"cycle", file("cycle.gds", cycle), {}, 1, "places itself"},
        {"unknown reference", file("unknown.gds", unknown), {}, 1, "does not hold"},
        {"huge arrays", file("huge.gds", huge), QStringLiteral("TOP"), 1, "more than"},
        {"absurd units", file("units.gds", units), QStringLiteral("TOP"), 1, "database unit"},
        {"missing layer", goodFile, QStringLiteral("TOP"), 7, "nothing is drawn on layer 7/0"},
        {"unknown cell", goodFile, QStringLiteral("NOPE"), 1, "no cell \"NOPE\""},
        {"empty layer", goodFile, QStringLiteral("OTHER"), 1, "nothing is drawn"},
        {"two top cells", goodFile, {}, 1, "2 top cells"},
    };
    for (const Case& c : cases) {
        LayoutMaskSource source;
        source.file = c.file;
        source.cell = c.cell;
        source.layer = c.layer;
        PhotoMask mask{{true, false}, 1, 2};
        QString problem;
        LayoutFlattener::Limits limits;
        limits.placements = 1'000'000;
        EXPECT_FALSE(LayoutMask::rasterise(source, {100, 100, 1.0, 1.0}, mask, problem, limits))
            << c.what;
        EXPECT_TRUE(problem.contains(QString::fromLatin1(c.reason)))
            << c.what << ": " << problem.toStdString();
        EXPECT_EQ(mask, (PhotoMask{{true, false}, 1, 2})) << c.what;
    }
    LayoutMaskSource source;
    source.file = goodFile;
    source.cell = QStringLiteral("TOP");
    source.layer = 1;
    PhotoMask mask;
    QString problem;
    ASSERT_TRUE(LayoutMask::rasterise(source, {6, 6, 1.0, 1.0}, mask, problem));
    // The 3 µm square at (1, 1): centres 1.5, 2.5, 3.5 and the edge at 4 not reaching 4.5.
    EXPECT_EQ(std::count(mask.bits.begin(), mask.bits.end(), true), 9);
}

// Column centres of decimal cell sizes lie on the edges of shapes drawn in whole nanometres:
// a square from 0.5 to 2.5 cells covers 3 x 3 columns at any cell size, as the volume keeps it
// (in single precision) or as typed, also when the layout is placed a whole number of columns
// away.
TEST(LayoutMask, CentresOnEdgesAreOnThemAtDecimalCellSizes) {
    QTemporaryDir dir;
    for (const double cell : {0.1, 0.3, 0.7, 0.05, 0.15, 1.1, 2.3}) {
        const int nanometres = int(std::lround(cell * 1000));
        const QString path = dir.filePath(QStringLiteral("square-%1.gds").arg(nanometres));
        GdsWriter()
            .begin()
            .cell("TOP")
            .square(1, 0, nanometres / 2, nanometres / 2, 2 * nanometres)
            .endCell()
            .end()
            .save(path);
        LayoutLibrary library;
        QString problem;
        ASSERT_TRUE(LayoutLibrary::read(path, library, problem)) << problem.toStdString();
        for (const double size : {cell, double(float(cell))})
            for (const int shift : {0, 3}) {
                SCOPED_TRACE(testing::Message() << "cell " << size << ", shifted " << shift);
                LayoutMaskSource source;
                source.layer = 1;
                source.offsetX = shift * cell;
                source.offsetY = shift * cell;
                PhotoMask mask;
                ASSERT_TRUE(
                    LayoutMask::rasterise(library, source, {8, 8, size, size}, mask, problem));
                EXPECT_EQ(std::count(mask.bits.begin(), mask.bits.end(), true), 9);
                EXPECT_TRUE(mask.bits[std::size_t(shift) * 8 + std::size_t(shift)]);
                EXPECT_TRUE(mask.bits[std::size_t(shift + 2) * 8 + std::size_t(shift + 2)]);
            }
    }
}

// The reader inherits this process's address space, a large cell volume included; what it may
// allocate is counted from there, so a normal layout is read however much this process holds.
TEST(LayoutLibrary, ReadsBesideALargeAddressSpaceUnlessCancelled) {
    QTemporaryDir dir;
    // A few megabytes, as a normal mask's layout: its reading needs fresh memory, not only
    // what the heap it inherits has free.
    const QString path = dir.filePath(QStringLiteral("normal.gds"));
    GdsWriter writer;
    writer.begin().cell("TOP");
    for (int n = 0; n < 50000; ++n)
        writer.square(1, 0, n % 250 * 4000, n / 250 * 4000, 2000);
    writer.endCell().end().save(path);
    // Reserved, never touched: it costs address space and no memory.
    const std::size_t reserved = std::size_t(3) << 30;
    void* held =
        ::mmap(nullptr, reserved, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(held, MAP_FAILED);
    LayoutLibrary library;
    QString problem;
    const bool read = LayoutLibrary::read(path, library, problem);
    ::munmap(held, reserved);
    EXPECT_TRUE(read) << problem.toStdString();
    ASSERT_EQ(library.cells().size(), 1u);
    EXPECT_EQ(library.cells()[0].elements.size(), 50000u);

    // A reading the user cancelled stops its reader and keeps the library as it was.
    struct Cancelled : Util::ProgressReporter {
        bool wasCancelled() const override { return true; }
    } cancelled;
    EXPECT_FALSE(
        LayoutLibrary::read(path, library, problem, LayoutLibrary::defaultLimits, cancelled));
    EXPECT_EQ(problem, QStringLiteral("reading it was cancelled"));
    EXPECT_EQ(library.cells().size(), 1u);
}

// The fuzz target's seeds: the damaged ones are refused with a reason, the others give masks.
TEST(LayoutMask, TheFuzzSeedsAreReadOrRefusedWithAReason) {
    const QDir corpus(QStringLiteral(CELLVANE_TEST_SOURCE_DIR "/fuzz/corpus/layout"));
    const QStringList files = corpus.entryList(QDir::Files);
    ASSERT_GE(files.size(), 4);
    for (const QString& name : files) {
        LayoutLibrary library;
        QString problem;
        const bool read = LayoutLibrary::read(corpus.filePath(name), library, problem);
        const bool damaged = name.startsWith(QStringLiteral("cycle")) ||
                             name.startsWith(QStringLiteral("truncated"));
        EXPECT_EQ(read, !damaged) << name.toStdString() << ": " << problem.toStdString();
        EXPECT_EQ(problem.isEmpty(), read) << name.toStdString();
        if (!read)
            continue;
        LayoutMaskSource source;
        source.cell = QStringLiteral("TOP");
        source.layer = 1;
        PhotoMask mask;
        EXPECT_TRUE(LayoutMask::rasterise(library, source, {30, 30, 1.0, 1.0}, mask, problem))
            << name.toStdString() << ": " << problem.toStdString();
        EXPECT_GT(std::count(mask.bits.begin(), mask.bits.end(), true), 0) << name.toStdString();
    }
}

TEST(LayoutMaskSource, ReadsTheRunnersFileAndLayerForm) {
    LayoutMaskSource source;
    ASSERT_TRUE(LayoutMaskSource::parseFileAndLayer(QStringLiteral("dir/chip.gds:5/2"), source));
    EXPECT_EQ(source.file, QStringLiteral("dir/chip.gds"));
    EXPECT_EQ(source.layer, 5);
    EXPECT_EQ(source.datatype, 2);
    ASSERT_TRUE(LayoutMaskSource::parseFileAndLayer(QStringLiteral("C:/a.gds:7"), source));
    EXPECT_EQ(source.file, QStringLiteral("C:/a.gds"));
    EXPECT_EQ(source.datatype, 0);
    EXPECT_EQ(source.fileAndLayer(), QStringLiteral("C:/a.gds:7/0"));
    for (const char* bad : {"chip.gds", "chip.gds:", ":5/0", "chip.gds:5/x", "chip.gds:70000/0"})
        EXPECT_FALSE(LayoutMaskSource::parseFileAndLayer(QString::fromLatin1(bad), source)) << bad;
}

} // namespace CELLVANE_TEST_FILE
