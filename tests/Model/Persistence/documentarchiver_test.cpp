#include "Model/Automaton/materialcells.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QBuffer>
#include <QThreadPool>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Materials::Material;
using Model::Persistence::ArchiverTable;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::TotalVolumeArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;
using testing_support::makeVolume;
using testing_support::materialsOf;

namespace {

// Stands in for an extracted model: a kind no archiver handles.
class OtherKindOfObject : public Model::Object {
public:
    int getType() const override { return 2; }
    void draw(bool, bool) override {}
    void drawForPicking() override {}
    Object* clone() override { return new OtherKindOfObject; }
    void translate(Util::Vector4D) override {}
};

class DocumentArchiverTest : public TestSupport::RegistryTest {
protected:
    QByteArray written(const Model::Document& document) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(DocumentArchiver(archivers).write(&buffer, document));
        return buffer.data();
    }

    DocumentArchiver::ReadResult read(const QByteArray& bytes) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        return DocumentArchiver(archivers).read(&buffer);
    }

    std::shared_ptr<TotalVolume> onlyVolume(const DocumentArchiver::ReadResult& result) {
        EXPECT_EQ(result.objects.size(), 1u);
        return result.objects.empty() ? nullptr
                                      : std::dynamic_pointer_cast<TotalVolume>(result.objects[0]);
    }

    // A document as another program run would have written it: its own materials, one volume
    // (2 x 1 x 2 unless said) with the given State.
    static QByteArray
    documentWith(const QString& materials, const QString& state,
                 const QString& size = QStringLiteral("2\" size-y=\"1\" size-z=\"2")) {
        return (QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document>"
                               "<Header version=\"1\"/>") +
                materials + QStringLiteral("<Object object-type=\"1\" size-x=\"") + size +
                QStringLiteral("\" cellsize-x=\"1\" cellsize-y=\"1\" cellsize-z=\"1\"><State>") +
                state +
                QStringLiteral("</State><Position pos-x=\"0\" pos-y=\"0\" pos-z=\"0\"/></Object>"
                               "</Document>"))
            .toUtf8();
    }

    static QString material(unsigned id, const QString& name, const QString& color,
                            const QString& density = QStringLiteral("19300")) {
        return QStringLiteral("<Material version=\"1\" name=\"%1\" material-id=\"%2\" "
                              "density=\"%3\" poisson-ratio=\"0.44\" young-modulus=\"7.9e+10\" "
                              "color=\"%4\"/>")
            .arg(name)
            .arg(id)
            .arg(density, color);
    }

    ArchiverTable archivers{{1, std::make_shared<TotalVolumeArchiver>()}};
};

} // namespace

TEST_F(DocumentArchiverTest, WritesHeaderEveryMaterialThenTheObjectsOnOneLine) {
    Model::Document document;
    document.addObject(
        makeVolume(2, 1, 2, [](int x, int, int z) { return x == 1 && z == 0 ? 0 : 1; }));
    const QString text = QString::fromUtf8(written(document));

    EXPECT_TRUE(text.startsWith(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document><Header version=\"1\"/>"
                       "<Material version=\"1\" name=\"Si\" material-id=\"1\" density=\"2329\" "
                       "poisson-ratio=\"0.28\" young-modulus=\"1.88e+11\" color=\"#FF7F7F7F\"/>")))
        << text.left(300).toStdString();
    EXPECT_FALSE(text.trimmed().contains(QLatin1Char('\n')));
    EXPECT_EQ(text.count(QStringLiteral("<Material ")), 16)
        << "all built-in materials, used or not";
    EXPECT_LT(text.indexOf(QStringLiteral("material-id=\"16\"")),
              text.indexOf(QStringLiteral("<Object")));
    EXPECT_TRUE(
        text.trimmed().endsWith(QStringLiteral("<State>1 1 0 1 </State><Position pos-x=\"0\" "
                                               "pos-y=\"0\" pos-z=\"0\"/></Object></Document>")))
        << text.right(200).toStdString();
}

TEST_F(DocumentArchiverTest, ObjectsWithoutArchiverAreLeftOut) {
    Model::Document document;
    document.addObject(std::make_shared<OtherKindOfObject>());
    document.addObject(makeVolume(10, 10, 5, [](int, int, int) { return 1; }));
    document.addObject(std::make_shared<OtherKindOfObject>());
    const QByteArray bytes = written(document);

    QXmlStreamReader reader(bytes);
    int objects = 0;
    QStringList states;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("Object")) {
            ++objects;
            EXPECT_EQ(reader.attributes().value(QStringLiteral("object-type")), QLatin1String("1"));
        } else if (reader.name() == QLatin1String("State")) {
            states << reader.readElementText();
        }
    }
    EXPECT_EQ(objects, 1);
    ASSERT_EQ(states.size(), 1);
    EXPECT_EQ(states[0].count(QLatin1Char(' ')), 500);

    // And reading skips a kind it has no archiver for.
    const auto result = read(QByteArray(bytes).replace("object-type=\"1\"", "object-type=\"2\""));
    EXPECT_EQ(result.status, ReadStatus::Complete);
    EXPECT_TRUE(result.objects.empty());
}

TEST_F(DocumentArchiverTest, RoundTripKeepsCellsSizesCellSizesAndPosition) {
    Model::Document document;
    auto first = makeVolume(
        6, 3, 4, [](int x, int y, int z) { return (x + 2 * y + 3 * z) % 17; }, 0.5f, 0.25f, 2.f);
    first->translate(Util::Vector4D(-12.5, 3.0, 40.0, 0.0));
    auto second = makeVolume(1, 1, 1, [](int, int, int) { return 9; });
    document.addObject(first);
    document.addObject(second);

    const auto result = read(written(document));
    ASSERT_EQ(result.status, ReadStatus::Complete);
    ASSERT_EQ(result.objects.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const auto original = i == 0 ? first : second;
        const auto back = std::dynamic_pointer_cast<TotalVolume>(result.objects[i]);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->getSizeX(), original->getSizeX());
        EXPECT_EQ(back->getSizeY(), original->getSizeY());
        EXPECT_EQ(back->getSizeZ(), original->getSizeZ());
        EXPECT_EQ(back->getCellSizeX(), original->getCellSizeX());
        EXPECT_EQ(back->getCellSizeY(), original->getCellSizeY());
        EXPECT_EQ(back->getCellSizeZ(), original->getCellSizeZ());
        EXPECT_EQ(back->getPosition().x, original->getPosition().x);
        EXPECT_EQ(back->getPosition().y, original->getPosition().y);
        EXPECT_EQ(back->getPosition().z, original->getPosition().z);
        EXPECT_EQ(materialsOf(*back), materialsOf(*original));
    }
    EXPECT_TRUE(result.warnings.isEmpty());
    EXPECT_EQ(materials->getMaterials().size(), 16u) << "own materials are matched, not added";
}

// Long State texts are written and read a share per pool thread; whatever the count of threads
// and wherever the shares are cut, the text and the cells are those of one reading in order.
TEST_F(DocumentArchiverTest, LongStatesAreTheSameWhicheverThreadsWriteAndReadThem) {
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threadsBefore = pool.maxThreadCount();
    const QString size = QStringLiteral("60\" size-y=\"50\" size-z=\"40");
    const std::size_t cells = 60 * 50 * 40;

    // Runs of one id, odd parts (a plain id of ten digits, one too long to be an id, runs of
    // spaces) and ids beyond the last cell, which are dropped.
    QStringList parts;
    std::vector<int> expected;
    for (std::size_t i = 0; i < cells + 10; ++i) {
        int id = int(i / 37 % 5) * 1000 + int(i % 3 == 0);
        QString part = QString::number(id);
        if (i % 9973 == 5) {
            part = QStringLiteral("0000000007");
            id = 7;
        } else if (i % 9973 == 6) {
            part = QString(300, QLatin1Char('8'));
            id = 0;
        } else if (i == 70001) {
            part = QString::number(Model::Automaton::largestMaterialId);
            id = int(Model::Automaton::largestMaterialId);
        }
        parts.push_back(i % 101 == 0 ? part + QStringLiteral("  ") : part);
        if (i < cells)
            expected.push_back(id);
    }
    const QByteArray document = documentWith(QString(), parts.join(QLatin1Char(' ')) + ' ', size);
    parts[100000] = QStringLiteral("70000");
    parts[110000] = QStringLiteral("80000");
    const QByteArray tooLarge = documentWith(QString(), parts.join(QLatin1Char(' ')), size);

    for (const int threads : {1, 2, 3, 8}) {
        SCOPED_TRACE(threads);
        pool.setMaxThreadCount(threads);
        const auto result = read(document);
        ASSERT_EQ(result.status, ReadStatus::Complete) << result.error.toStdString();
        const auto volume = onlyVolume(result);
        ASSERT_TRUE(volume);
        EXPECT_EQ(materialsOf(*volume), expected);

        Model::Document again;
        again.addObject(volume);
        const QByteArray bytes = written(again);
        const QByteArray text = bytes.mid(bytes.indexOf("<State>") + 7);
        const QList<QByteArray> ids = text.left(text.indexOf('<')).split(' ');
        ASSERT_EQ(std::size_t(ids.size()), cells + 1) << "one space after every id";
        for (std::size_t i = 0; i < cells; i += 997)
            EXPECT_EQ(ids[int(i)].toInt(), expected[i]) << i;

        const auto refused = read(tooLarge);
        EXPECT_EQ(refused.status, ReadStatus::Refused);
        EXPECT_TRUE(refused.error.contains(QLatin1String("70000"))) << "the first one is named";
    }
    pool.setMaxThreadCount(threadsBefore);
}

TEST_F(DocumentArchiverTest, TheScaleIsWrittenOnlyWhenItIsNotOneAndComesBackOnEveryVolume) {
    const auto documentAt = [](double scale) {
        auto document = std::make_unique<Model::Document>();
        document->addObject(makeVolume(
            3, 2, 2, [](int x, int, int) { return x % 2; }, 0.5f));
        document->addObject(makeVolume(1, 1, 1, [](int, int, int) { return 4; }));
        document->setMicrometresPerSceneUnit(scale);
        return document;
    };
    const QByteArray unscaled = written(*documentAt(1.0));
    EXPECT_FALSE(unscaled.contains("micrometres-per-scene-unit"));
    EXPECT_TRUE(unscaled.contains("<Document><Header version=\"1\"/><Material "));
    EXPECT_EQ(read(unscaled).micrometresPerSceneUnit, 1.0);

    for (const auto& [scale, text] : {std::pair{0.5, "0.5"}, std::pair{1e-3, "0.001"},
                                      std::pair{2.5, "2.5"}, std::pair{0.1, "0.1"}}) {
        SCOPED_TRACE(text);
        const QByteArray bytes = written(*documentAt(scale));
        const QByteArray attribute =
            QByteArray(" micrometres-per-scene-unit=\"") + text + QByteArray("\"");
        EXPECT_TRUE(bytes.contains("<Header version=\"1\"" + attribute + "/>"));
        // Apart from the attribute, the file is the one written at 1 µm per unit.
        EXPECT_EQ(QByteArray(bytes).replace(attribute, ""), unscaled);

        const auto result = read(bytes);
        ASSERT_EQ(result.status, ReadStatus::Complete);
        EXPECT_EQ(result.micrometresPerSceneUnit, scale);
        ASSERT_EQ(result.objects.size(), 2u);
        for (const auto& object : result.objects)
            EXPECT_EQ(std::dynamic_pointer_cast<TotalVolume>(object)->getMicrometresPerSceneUnit(),
                      scale);
        Model::Document reopened;
        reopened.setMicrometresPerSceneUnit(result.micrometresPerSceneUnit);
        for (const auto& object : result.objects)
            reopened.addObject(object);
        EXPECT_EQ(written(reopened), bytes) << "a scaled document round-trips";
    }

    // A scale that is no length is read as 1 µm per unit and said so; the cells still come.
    for (const char* bad : {"0", "-2", "abc", "inf", "nan", ""}) {
        SCOPED_TRACE(bad);
        const auto result =
            read(documentWith(QString(), QStringLiteral("1 1 0 1"))
                     .replace("<Header version=\"1\"/>",
                              QByteArray("<Header version=\"1\" micrometres-per-scene-unit=\"") +
                                  bad + "\"/>"));
        EXPECT_EQ(result.status, ReadStatus::Complete);
        EXPECT_EQ(result.micrometresPerSceneUnit, 1.0);
        EXPECT_EQ(result.warnings, QStringList{DocumentArchiver::scaleWarning(bad)});
        EXPECT_EQ(result.objects.size(), 1u);
    }
}

TEST_F(DocumentArchiverTest, AWaferOrientationOtherThan100IsWrittenOnItsVolumeAndComesBack) {
    using Model::Automaton::CrystalOrientation;
    Model::Document document;
    auto plain = makeVolume(3, 2, 2, [](int x, int, int) { return x % 2; });
    auto turned = makeVolume(3, 2, 2, [](int x, int, int) { return x % 2; });
    document.addObject(plain);
    document.addObject(turned);
    const QByteArray before = written(document);
    EXPECT_FALSE(before.contains("crystal-orientation"));

    turned->setCrystalOrientation(CrystalOrientation::Surface110);
    const QByteArray bytes = written(document);
    const QByteArray attribute(" crystal-orientation=\"110\"");
    EXPECT_EQ(bytes.count(attribute), 1);
    // Only the (110) volume's element gains the attribute; nothing else changes.
    EXPECT_EQ(QByteArray(bytes).replace(attribute, ""), before);

    const auto result = read(bytes);
    ASSERT_EQ(result.status, ReadStatus::Complete);
    EXPECT_TRUE(result.warnings.isEmpty());
    ASSERT_EQ(result.objects.size(), 2u);
    const auto first = std::dynamic_pointer_cast<TotalVolume>(result.objects[0]);
    const auto second = std::dynamic_pointer_cast<TotalVolume>(result.objects[1]);
    EXPECT_EQ(first->getCrystalOrientation(), CrystalOrientation::Surface100);
    EXPECT_EQ(second->getCrystalOrientation(), CrystalOrientation::Surface110);
    EXPECT_EQ(materialsOf(*second), materialsOf(*turned));
    // A copy of the volume (as an undo snapshot or a duplicate takes it) keeps the wafer.
    std::unique_ptr<Model::Object> copy(second->clone());
    EXPECT_EQ(static_cast<TotalVolume&>(*copy).getCrystalOrientation(),
              CrystalOrientation::Surface110);

    // An orientation this program does not know keeps the cells, reads as (100) and says so.
    for (const char* bad : {"111", "", "(110", "1 10"}) {
        SCOPED_TRACE(bad);
        const auto odd = read(
            documentWith(QString(), QStringLiteral("1 1 0 1"))
                .replace("<Object ", QByteArray("<Object crystal-orientation=\"") + bad + "\" "));
        EXPECT_EQ(odd.status, ReadStatus::Complete);
        ASSERT_EQ(odd.objects.size(), 1u);
        EXPECT_EQ(std::dynamic_pointer_cast<TotalVolume>(odd.objects[0])->getCrystalOrientation(),
                  CrystalOrientation::Surface100);
        ASSERT_EQ(odd.warnings.size(), 1);
        EXPECT_TRUE(odd.warnings[0].contains(QStringLiteral("neither 100 nor 110")))
            << odd.warnings[0].toStdString();
    }
}

TEST_F(DocumentArchiverTest, AClashingMaterialIsRegisteredUnderAFreshIdAndCellsFollowIt) {
    ASSERT_TRUE(materials->updateMaterial(Material(20, QStringLiteral("Silver"), 10490.f, 8.3e10f,
                                                   0.37f, Util::Vector4D(0.8, 0.8, 0.8, 1.0))));
    const auto result =
        read(documentWith(material(20, QStringLiteral("Gold"), QStringLiteral("#FF00FF00")),
                          QStringLiteral("20 1 0 20 ")));
    ASSERT_EQ(result.status, ReadStatus::Complete);
    const auto volume = onlyVolume(result);
    ASSERT_TRUE(volume);
    const std::vector<int> ids = materialsOf(*volume);
    const unsigned fresh = unsigned(ids[0]);
    EXPECT_GE(fresh, 2000u);
    EXPECT_LE(fresh, 32766u);
    EXPECT_EQ(ids, (std::vector<int>{int(fresh), 1, 0, int(fresh)}));

    EXPECT_EQ(materials->getMaterial(20).getName(), "Silver") << "the registered record stays";
    const Material gold = materials->getMaterial(fresh);
    EXPECT_EQ(gold.getName(), "Gold");
    EXPECT_FLOAT_EQ(gold.getGreen(), 1.f);
    EXPECT_FLOAT_EQ(gold.getRed(), 0.f);
    EXPECT_FLOAT_EQ(gold.getDensity(), 19300.f);
    EXPECT_EQ(DocumentArchiver::materialIdMap().at(20), fresh);
}

// With every id a cell can hold taken, a clashing material cannot be registered: the reader says
// so instead of numbering its cells with an id no cell can hold.
TEST_F(DocumentArchiverTest, AClashingMaterialWithNoIdLeftIsReported) {
    for (unsigned id = 2; id <= Model::Automaton::largestMaterialId; ++id)
        materials->updateMaterial(Material(id, QStringLiteral("Taken"), 1, 1, 1));
    const auto result =
        read(documentWith(material(20, QStringLiteral("Gold"), QStringLiteral("#FF00FF00")),
                          QStringLiteral("20 1 ")));
    EXPECT_EQ(result.warnings, QStringList{DocumentArchiver::materialWarning()});
    EXPECT_EQ(materials->getMaterial(20).getName(), QStringLiteral("Taken"));
}

TEST_F(DocumentArchiverTest, NewMaterialsAreRegisteredAndEqualOnesReusedWithTheRegistrysConstants) {
    // Silicon with another density (and a colour one 8-bit step off) is still silicon.
    const auto result = read(documentWith(
        material(1, QStringLiteral("Si"), QStringLiteral("#FF808080"), QStringLiteral("1")) +
            material(40, QStringLiteral("Gold"), QStringLiteral("#FF00FF00")),
        QStringLiteral("1 40 40 0 ")));
    ASSERT_EQ(result.status, ReadStatus::Complete);
    const auto volume = onlyVolume(result);
    ASSERT_TRUE(volume);
    EXPECT_EQ(materialsOf(*volume), (std::vector<int>{1, 40, 40, 0}));
    EXPECT_FLOAT_EQ(materials->getMaterial(1).getDensity(), 2329.f);
    EXPECT_EQ(materials->getMaterial(40).getName(), "Gold");
    EXPECT_EQ(materials->getMaterials().size(), 17u);
}

TEST_F(DocumentArchiverTest,
       ADamagedMaterialWarnsAndItsCellsKeepTheirIdEvenAfterAnEarlierRenumbering) {
    // An earlier document renumbered its id 20...
    ASSERT_TRUE(materials->updateMaterial(Material(20, QStringLiteral("Silver"), 1.f, 1.f, 1.f)));
    read(documentWith(material(20, QStringLiteral("Gold"), QStringLiteral("#FF00FF00")),
                      QStringLiteral("20 20 20 20 ")));
    ASSERT_NE(DocumentArchiver::materialIdMap().at(20), 20u);

    // ...which must not leak into this one, whose id 20 entry has no name.
    const auto result = read(documentWith(
        QStringLiteral("<Material version=\"1\" material-id=\"20\" color=\"#FF00FF00\"/>"),
        QStringLiteral("20 1 20 1 ")));
    ASSERT_EQ(result.status, ReadStatus::Complete);
    ASSERT_EQ(result.warnings.size(), 1);
    EXPECT_EQ(result.warnings[0], "WARNING: There was an error loading a material. This may alter "
                                  "the loaded cell volume.");
    const auto volume = onlyVolume(result);
    ASSERT_TRUE(volume);
    EXPECT_EQ(materialsOf(*volume), (std::vector<int>{20, 1, 20, 1}));
}

TEST_F(DocumentArchiverTest, AFileThatIsNoDocumentIsRecognisedBeforeAnythingHappens) {
    const QByteArray valid =
        documentWith(material(40, QStringLiteral("Gold"), QStringLiteral("#FF00FF00")),
                     QStringLiteral("40 40 40 40 "));
    const QByteArray notDocuments[] = {
        QByteArray(valid)
            .replace("<Document>", "<Documents>")
            .replace("</Document>", "</Documents>"),
        QByteArray(valid).replace("<Header version=\"1\"/>", ""),
        QByteArray("<Materials><Material material-id=\"40\" name=\"Gold\"/></Materials>"),
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
        QByteArray(),
    };
    for (const QByteArray& bytes : notDocuments) {
        const auto result = read(bytes);
        EXPECT_EQ(result.status, ReadStatus::NotADocument) << bytes.left(60).toStdString();
        EXPECT_TRUE(result.objects.empty());
    }
    EXPECT_EQ(materials->getMaterial(40).getId(), 0u) << "nothing was registered";
}

TEST_F(DocumentArchiverTest, MalformedXmlAfterTheHeaderKeepsWhatCameBeforeAndSaysWhere) {
    Model::Document document;
    document.addObject(makeVolume(2, 2, 2, [](int, int, int) { return 1; }));
    document.addObject(makeVolume(2, 2, 2, [](int, int, int) { return 3; }));
    const QByteArray bytes = written(document);
    const int secondObject = bytes.lastIndexOf("<Object");

    const auto cutInSecond = read(bytes.left(secondObject + 20));
    EXPECT_EQ(cutInSecond.status, ReadStatus::Damaged);
    ASSERT_EQ(cutInSecond.objects.size(), 1u);
    EXPECT_FALSE(cutInSecond.error.isEmpty());

    // Cut inside the second State: the first volume is whole; the second is kept as far as
    // the reader delivered it.
    const int state = bytes.lastIndexOf("<State>") + 7;
    const auto cutInState = read(bytes.left(state + 4));
    EXPECT_EQ(cutInState.status, ReadStatus::Damaged);
    ASSERT_EQ(cutInState.objects.size(), 2u);
    const auto whole = std::dynamic_pointer_cast<TotalVolume>(cutInState.objects[0]);
    EXPECT_EQ(materialsOf(*whole), std::vector<int>(8, 1));

    const auto missingEnd = read(QByteArray(bytes).replace("</Document>", ""));
    EXPECT_EQ(missingEnd.status, ReadStatus::Damaged) << "more objects could have followed";
    EXPECT_EQ(missingEnd.objects.size(), 2u);
}

// Found by fuzzing: the refused document's new and renumbered materials stayed registered.
TEST_F(DocumentArchiverTest, AnUnreadableVolumeRefusesTheWholeDocumentAndTakesItsMaterialsBack) {
    const std::vector<Material> before = materials->getMaterials();
    const auto translationsBefore = DocumentArchiver::materialIdMap();
    const QByteArray bytes =
        documentWith(material(20, QStringLiteral("Gold"), QStringLiteral("#FFFFD700")) +
                         material(1, QStringLiteral("Not silicon"), QStringLiteral("#FF000000")),
                     QStringLiteral("1 1 20 1 "))
            .replace("</Document>", "<Object object-type=\"1\" size-x=\"-1\"/></Document>");
    const auto result = read(bytes);
    EXPECT_EQ(result.status, ReadStatus::Refused);
    EXPECT_TRUE(result.error.contains(QLatin1String("no valid size")));
    EXPECT_TRUE(result.objects.empty());
    EXPECT_EQ(materials->getMaterials(), before);
    EXPECT_EQ(DocumentArchiver::materialIdMap(), translationsBefore);
}

TEST_F(DocumentArchiverTest, UnknownElementsAndObjectTypesAreSkipped) {
    const QByteArray bytes =
        documentWith(QStringLiteral("<Comment>hello</Comment>"), QStringLiteral("1 1 1 1 "))
            .replace("<Header version=\"1\"/>",
                     "<Header version=\"7\"/><Object object-type=\"99\"><State>5</State></Object>"
                     "<Object object-type=\"x\"/><Object/><Object object-type=\"4294967295\"/>");
    const auto result = read(bytes);
    EXPECT_EQ(result.status, ReadStatus::Complete);
    EXPECT_EQ(result.objects.size(), 1u);
}

TEST_F(DocumentArchiverTest, ADocumentClaimingAbsurdlyManyObjectsIsRefused) {
    QByteArray many = "<Document><Header/>";
    for (int i = 0; i <= DocumentArchiver::maximumObjects; ++i)
        many += "<Object object-type=\"1\" size-x=\"1\" size-y=\"1\" size-z=\"1\"/>";
    many += "</Document>";
    const auto result = read(many);
    EXPECT_EQ(result.status, ReadStatus::Refused);
}

} // namespace CELLVANE_TEST_FILE
