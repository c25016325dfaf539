#include "Model/Automaton/volumebudget.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "support/qtprinters.h"
#include "support/scenes.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <gtest/gtest.h>

#include <limits>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Automaton::VolumeBudget;
using Model::Persistence::MaterialIdMap;
using Model::Persistence::TotalVolumeArchiver;
using testing_support::makeVolume;
using testing_support::materialsOf;
using testing_support::setMaterial;

namespace {

QString saved(const std::shared_ptr<TotalVolume>& volume) {
    QString text;
    QXmlStreamWriter writer(&text);
    TotalVolumeArchiver archiver;
    archiver.setWriter(&writer);
    EXPECT_TRUE(archiver.save(volume));
    return text;
}

QString stateOf(const QString& xml) {
    QXmlStreamReader reader(xml);
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("State"))
            return reader.readElementText();
    }
    return QString();
}

struct Loaded {
    std::shared_ptr<TotalVolume> volume;
    QString error;
    QString nextElement; // the start element reading continues with after load()
    bool readerError = false;
};

Loaded load(const QString& xml, MaterialIdMap* map = nullptr) {
    QXmlStreamReader reader(xml);
    reader.readNextStartElement(); // the wrapper
    reader.readNextStartElement(); // the Object
    TotalVolumeArchiver archiver;
    archiver.setReader(&reader);
    archiver.setMaterialIdMap(map);
    Loaded result;
    result.volume = std::dynamic_pointer_cast<TotalVolume>(archiver.load());
    result.error = archiver.errorString();
    result.readerError = reader.hasError();
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            result.nextElement = reader.name().toString();
            break;
        }
    }
    return result;
}

QString object(const QString& attributes, const QString& children) {
    return QStringLiteral("<D><Object object-type=\"1\" %1>%2</Object><Next/></D>")
        .arg(attributes, children);
}

const QString size2x1x2 = QStringLiteral("size-x=\"2\" size-y=\"1\" size-z=\"2\"");

} // namespace

TEST(TotalVolumeArchiverWriting, WritesSizesCellSizesStateAndPositionInOrder) {
    // 2 x 1 x 2 silicon with the cell (1, 0, 0) empty: cell order is z fastest.
    auto volume = makeVolume(
        2, 1, 2, [](int x, int, int z) { return x == 1 && z == 0 ? 0 : 1; }, 0.5f, 2.f, 1e-7f);
    volume->translate(Util::Vector4D(1.5, -2.0, 1234567.0, 0.0));
    EXPECT_EQ(saved(volume),
              QStringLiteral("<Object object-type=\"1\" size-x=\"2\" size-y=\"1\" size-z=\"2\" "
                             "cellsize-x=\"0.5\" cellsize-y=\"2\" cellsize-z=\"1e-07\">"
                             "<State>1 1 0 1 </State>"
                             "<Position pos-x=\"1.5\" pos-y=\"-2\" pos-z=\"1.23457e+06\"/>"
                             "</Object>"));
}

TEST(TotalVolumeArchiverWriting, StateHoldsOneIdAndOneSpacePerCellInCellOrder) {
    auto volume = makeVolume(10, 10, 5, [](int x, int y, int z) { return x * 100 + y * 10 + z; });
    const QString state = stateOf(saved(volume));
    ASSERT_TRUE(state.endsWith(QLatin1Char(' ')));
    const QStringList ids = state.split(QLatin1Char(' '));
    ASSERT_EQ(ids.size(), 501); // 500 ids and the empty part after the trailing space
    EXPECT_EQ(ids[0], "0");
    EXPECT_EQ(ids[1], "1");    // z fastest
    EXPECT_EQ(ids[5], "10");   // then y
    EXPECT_EQ(ids[50], "100"); // x slowest
    EXPECT_EQ(ids[499], "994");
    EXPECT_EQ(ids[500], "");
}

TEST(TotalVolumeArchiverWriting, LargeIdsAndLongStatesAreWrittenWhole) {
    // More than one write chunk, with the largest id a cell can hold at both ends.
    const unsigned largest = Model::Automaton::largestMaterialId;
    auto volume = makeVolume(40, 40, 40, [](int x, int y, int z) { return (x + y + z) % 7; });
    setMaterial(*volume, 0, largest);
    setMaterial(*volume, volume->getCellCount() - 1, largest);
    const QStringList ids = stateOf(saved(volume)).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_EQ(ids.size(), 64000);
    EXPECT_EQ(ids.front().toUInt(), largest);
    EXPECT_EQ(ids.back().toUInt(), largest);
    EXPECT_EQ(ids[1], "1");
}

TEST(TotalVolumeArchiverWriting, RefusesOtherObjectsAndAMissingWriter) {
    TotalVolumeArchiver archiver;
    EXPECT_FALSE(archiver.save(makeVolume(1, 1, 1, [](int, int, int) { return 1; })));
    QString text;
    QXmlStreamWriter writer(&text);
    archiver.setWriter(&writer);
    EXPECT_FALSE(archiver.save(nullptr));
    EXPECT_TRUE(text.isEmpty());
}

TEST(TotalVolumeArchiverReading, BuildsTheVolumeTheWriterDescribes) {
    auto original = makeVolume(
        3, 4, 5, [](int x, int y, int z) { return (x * 7 + y * 3 + z) % 17; }, 0.25f, 3.f, 1.5f);
    original->translate(Util::Vector4D(10.0, -4.5, 0.125, 0.0));
    const Loaded back = load(QStringLiteral("<D>") + saved(original) + QStringLiteral("</D>"));
    ASSERT_TRUE(back.volume) << back.error.toStdString();
    EXPECT_EQ(back.volume->getSizeX(), 3u);
    EXPECT_EQ(back.volume->getSizeY(), 4u);
    EXPECT_EQ(back.volume->getSizeZ(), 5u);
    EXPECT_FLOAT_EQ(back.volume->getCellSizeX(), 0.25f);
    EXPECT_FLOAT_EQ(back.volume->getCellSizeY(), 3.f);
    EXPECT_FLOAT_EQ(back.volume->getCellSizeZ(), 1.5f);
    EXPECT_DOUBLE_EQ(back.volume->getPosition().x, 10.0);
    EXPECT_DOUBLE_EQ(back.volume->getPosition().y, -4.5);
    EXPECT_DOUBLE_EQ(back.volume->getPosition().z, 0.125);
    EXPECT_EQ(materialsOf(*back.volume), materialsOf(*original));
    EXPECT_NE(back.volume->getId(), original->getId());
}

TEST(TotalVolumeArchiverReading, ShortStatesLeaveCellsEmptyAndSurplusIdsAreIgnored) {
    const Loaded shortState = load(object(size2x1x2, QStringLiteral("<State>3 4</State>")));
    ASSERT_TRUE(shortState.volume);
    EXPECT_EQ(materialsOf(*shortState.volume), (std::vector<int>{3, 4, 0, 0}));

    const Loaded longState =
        load(object(size2x1x2, QStringLiteral("<State>1 2 3 4 5 6 7 8 9</State>")));
    ASSERT_TRUE(longState.volume);
    EXPECT_EQ(materialsOf(*longState.volume), (std::vector<int>{1, 2, 3, 4}));

    const Loaded noState = load(object(size2x1x2, QString()));
    ASSERT_TRUE(noState.volume);
    EXPECT_EQ(materialsOf(*noState.volume), (std::vector<int>{0, 0, 0, 0}));
}

TEST(TotalVolumeArchiverReading, SplitsAtSpacesOnlyAndReadsNonNumbersAsEmpty) {
    // Runs of spaces are one separator; a part that is no decimal id becomes 0, and the parts
    // around a comment join as the element's text does.
    const Loaded loaded = load(object(size2x1x2, QStringLiteral("<State>  7   x -3 1<!-- c -->2 "
                                                                "</State>")));
    ASSERT_TRUE(loaded.volume);
    EXPECT_EQ(materialsOf(*loaded.volume), (std::vector<int>{7, 0, 0, 12}));

    const Loaded huge =
        load(object(size2x1x2, QStringLiteral("<State>4294967296 65535 +5 ") +
                                   QString(1000, QLatin1Char('9')) + QStringLiteral("</State>")));
    ASSERT_TRUE(huge.volume);
    const std::vector<int> ids = materialsOf(*huge.volume);
    EXPECT_EQ(ids[0], 0) << "an id beyond 32 bits is no id";
    EXPECT_EQ(ids[1], 65535) << "the largest id a cell holds";
    EXPECT_EQ(ids[2], 5);
    EXPECT_EQ(ids[3], 0);
}

// Cells hold ids of 16 bits; a document with a larger one, as read or as renumbered, is refused
// whole with the id and its line, never read with the id cut short.
TEST(TotalVolumeArchiverReading, IdsTheCellsCannotHoldAreRefused) {
    const Loaded large = load(object(size2x1x2, QStringLiteral("<State>1 65536 2 3 </State>")));
    EXPECT_FALSE(large.volume);
    EXPECT_TRUE(large.error.contains(QLatin1String("65536"))) << large.error.toStdString();
    MaterialIdMap map{{4, 70000}};
    const Loaded renumbered =
        load(object(size2x1x2, QStringLiteral("<State>4 1 1 1 </State>")), &map);
    EXPECT_FALSE(renumbered.volume);
    EXPECT_TRUE(renumbered.error.contains(QLatin1String("70000")));
}

TEST(TotalVolumeArchiverReading, RenumbersIdsThroughTheTranslationTable) {
    MaterialIdMap map{{20, 2345}, {3, 3}};
    const Loaded loaded =
        load(object(size2x1x2, QStringLiteral("<State>20 3 20 21 </State>")), &map);
    ASSERT_TRUE(loaded.volume);
    EXPECT_EQ(materialsOf(*loaded.volume), (std::vector<int>{2345, 3, 2345, 21}));
}

TEST(TotalVolumeArchiverReading, MissingOrUnusableNumbersFallBackToHarmlessValues) {
    const Loaded loaded = load(
        object(size2x1x2 + QStringLiteral(" cellsize-y=\"abc\" cellsize-z=\"-2\""),
               QStringLiteral("<State/><Position pos-x=\"nan\" pos-y=\"2.5\" pos-z=\"inf\"/>")));
    ASSERT_TRUE(loaded.volume);
    EXPECT_FLOAT_EQ(loaded.volume->getCellSizeX(), 1.f) << "missing";
    EXPECT_FLOAT_EQ(loaded.volume->getCellSizeY(), 1.f) << "not a number";
    EXPECT_FLOAT_EQ(loaded.volume->getCellSizeZ(), 1.f) << "not positive";
    EXPECT_DOUBLE_EQ(loaded.volume->getPosition().x, 0.0);
    EXPECT_DOUBLE_EQ(loaded.volume->getPosition().y, 2.5);
    EXPECT_DOUBLE_EQ(loaded.volume->getPosition().z, 0.0);
}

TEST(TotalVolumeArchiverReading, AVolumeWithoutUsableSizeIsRefusedWithAReason) {
    for (const QString& sizes : {QStringLiteral("size-x=\"2\" size-y=\"1\""),
                                 QStringLiteral("size-x=\"-2\" size-y=\"1\" size-z=\"1\""),
                                 QStringLiteral("size-x=\"0\" size-y=\"1\" size-z=\"1\""),
                                 QStringLiteral("size-x=\"1e3\" size-y=\"1\" size-z=\"1\"")}) {
        const Loaded loaded = load(object(sizes, QStringLiteral("<State>1 </State>")));
        EXPECT_FALSE(loaded.volume) << sizes.toStdString();
        EXPECT_TRUE(loaded.error.contains(QLatin1String("no valid size")))
            << loaded.error.toStdString();
    }
}

TEST(TotalVolumeArchiverReading, AVolumeLargerThanMemoryIsRefusedBeforeAllocating) {
    VolumeBudget::setAvailableBytesForTesting(64ull << 20);
    // 4 giga-cells would need hundreds of GiB; 64 MiB holds some twenty million cells.
    const Loaded absurd = load(object(QStringLiteral("size-x=\"4294967295\" size-y=\"4294967295\" "
                                                     "size-z=\"4294967295\""),
                                      QStringLiteral("<State>1 </State>")));
    const Loaded tooLarge =
        load(object(QStringLiteral("size-x=\"1000\" size-y=\"1000\" size-z=\"100\""),
                    QStringLiteral("<State/>")));
    const Loaded fits = load(object(QStringLiteral("size-x=\"100\" size-y=\"100\" size-z=\"10\""),
                                    QStringLiteral("<State/>")));
    VolumeBudget::setAvailableBytesForTesting(0);
    EXPECT_FALSE(absurd.volume);
    EXPECT_FALSE(absurd.error.isEmpty());
    EXPECT_FALSE(tooLarge.volume);
    EXPECT_TRUE(tooLarge.error.contains(QLatin1String("1000 x 1000 x 100")))
        << tooLarge.error.toStdString();
    EXPECT_TRUE(fits.volume);
}

TEST(TotalVolumeArchiverReading, StaysInsideItsOwnElement) {
    // An Object without children must not take the following element for its State.
    const Loaded empty = load(QStringLiteral("<D><Object object-type=\"1\" ") + size2x1x2 +
                              QStringLiteral("/><State>5 5 5 5 </State></D>"));
    ASSERT_TRUE(empty.volume);
    EXPECT_EQ(materialsOf(*empty.volume), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(empty.nextElement, "State");

    // Position before State, unknown children and a second State: the first of each counts.
    const Loaded shuffled = load(object(
        size2x1x2, QStringLiteral("<Extra><State>9 9 9 9</State></Extra><Position pos-x=\"3\"/>"
                                  "<State>1 2 3 4</State><State>8 8 8 8</State>")));
    ASSERT_TRUE(shuffled.volume);
    EXPECT_EQ(materialsOf(*shuffled.volume), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(shuffled.volume->getPosition().x, 3.0);
    EXPECT_EQ(shuffled.nextElement, "Next");
}

TEST(TotalVolumeArchiverReading, AnElementInsideTheStateIsAReaderError) {
    const Loaded loaded = load(object(size2x1x2, QStringLiteral("<State>1 2 <b/>3 4</State>")));
    EXPECT_TRUE(loaded.readerError);
    ASSERT_TRUE(loaded.volume) << "what was read before the damage is kept";
    EXPECT_EQ(materialsOf(*loaded.volume), (std::vector<int>{1, 2, 0, 0}));
}

TEST(TotalVolumeArchiverReading, WithoutAReaderOrObjectThereIsNothingToRead) {
    TotalVolumeArchiver archiver;
    EXPECT_FALSE(archiver.load());
    QXmlStreamReader reader(QStringLiteral("<State/>"));
    reader.readNextStartElement();
    archiver.setReader(&reader);
    EXPECT_FALSE(archiver.load());
    EXPECT_FALSE(archiver.errorString().isEmpty());
}

} // namespace CELLVANE_TEST_FILE
