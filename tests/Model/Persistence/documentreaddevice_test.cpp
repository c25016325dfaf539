#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/documentreaddevice.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QBuffer>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Persistence::ArchiverTable;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::DocumentReadDevice;
using Model::Persistence::TotalVolumeArchiver;
using ReadStatus = DocumentArchiver::ReadStatus;
using testing_support::materialsOf;

namespace {

void advanceTo(QXmlStreamReader& reader, const char* element) {
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement &&
            reader.name() == QLatin1String(element))
            return;
    }
}

class DocumentReadDeviceTest : public TestSupport::RegistryTest {
protected:
    // The cells of the document's first volume as the document reader gives them (through a
    // DocumentReadDevice, taking what it can straight from the bytes)...
    std::vector<int> throughDevice(const QByteArray& bytes, ReadStatus& status) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const auto result = DocumentArchiver(archivers).read(&buffer);
        status = result.status;
        if (result.objects.empty())
            return {};
        return materialsOf(*std::dynamic_pointer_cast<TotalVolume>(result.objects[0]));
    }

    // ... and as the archiver gives them from an XML reader that holds every character itself.
    static std::vector<int> throughReader(const QByteArray& bytes, bool& readerError) {
        QXmlStreamReader reader(bytes);
        advanceTo(reader, "Object");
        TotalVolumeArchiver archiver;
        archiver.setReader(&reader);
        const auto volume = std::dynamic_pointer_cast<TotalVolume>(archiver.load());
        readerError = reader.hasError();
        return volume ? materialsOf(*volume) : std::vector<int>();
    }

    static QByteArray document(const QByteArray& before, const QByteArray& state,
                               const char* sizes = "size-x=\"3\" size-y=\"2\" size-z=\"2\"") {
        return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Document>"
                          "<Header version=\"1\"/>") +
               before + "<Object object-type=\"1\" " + sizes + ">" + state +
               "<Position pos-x=\"1\"/></Object></Document>";
    }

    ArchiverTable archivers{{1, std::make_shared<TotalVolumeArchiver>()}};
};

} // namespace

TEST_F(DocumentReadDeviceTest, CellsAreTheSameAsWhenTheReaderReadsTheWholeText) {
    QByteArray longState = "<State>";
    for (int i = 0; i < 400000; ++i)
        longState += QByteArray::number(i % 13) + ' ';
    longState += "</State>";
    const struct {
        const char* name;
        QByteArray before;
        QByteArray state;
        const char* sizes;
    } cases[] = {
        {"plain", "", "<State>1 2 3 4 5 6 7 8 9 10 11 12 </State>", nullptr},
        {"short and long", "", "<State>3 4</State><State>9 9 9</State>", nullptr},
        {"surplus", "", "<State>1 2 3 4 5 6 7 8 9 10 11 12 13 14 15</State>", nullptr},
        {"comment joins", "", "<State>1 2<!-- c -->3 4 <!-- d --> 5 6 7</State>", nullptr},
        {"entity continues", "", "<State>12&#51;4 5&#32;6 &amp;7 8</State>", nullptr},
        {"cdata", "", "<State>1 2<![CDATA[3 4 ]]>5 6</State>", nullptr},
        {"line breaks and tabs", "", "<State>1 2\n3\t4 5\r\n6 7 </State>", nullptr},
        {"leading spaces and signs", "", "<State>   +5 007 -3 x 1e3</State>", nullptr},
        {"beyond 32 bits and the largest id", "",
         "<State>65535 4294967296 0000000000007 9999</State>", nullptr},
        {"overlong", "", "<State>" + QByteArray(300, '9') + " 5 6</State>", nullptr},
        {"element inside", "", "<State>1 2 <b/>3 4</State>", nullptr},
        {"attributes on State", "", "<State a=\"1\">5 6 7</State>", nullptr},
        {"tag in a comment first", "<!-- <State>1 2 3 -->", "<State>4 5 6</State>", nullptr},
        {"non-ASCII before", "<!-- Si\xe2\x82\x83N\xe2\x82\x84 \xf0\x9f\x98\x80 -->",
         "<State>1 2 3 4</State>", nullptr},
        {"Latin-1 before", "<!-- \xe9 -->", "<State>1 2 3 4</State>", nullptr},
        {"longer than the read buffer", "", longState,
         "size-x=\"200\" size-y=\"50\" size-z=\"40\""},
    };
    for (const auto& c : cases) {
        QByteArray bytes = document(c.before, c.state,
                                    c.sizes ? c.sizes : "size-x=\"3\" size-y=\"2\" size-z=\"2\"");
        if (c.before.contains('\xe9'))
            bytes.replace("UTF-8", "ISO-8859-1");
        ReadStatus status = ReadStatus::NotADocument;
        bool readerError = false;
        const std::vector<int> direct = throughDevice(bytes, status);
        EXPECT_EQ(direct, throughReader(bytes, readerError)) << c.name;
        EXPECT_FALSE(direct.empty()) << c.name;
        EXPECT_EQ(status == ReadStatus::Damaged, readerError) << c.name;
    }
    // A byte-order mark before the declaration.
    const QByteArray marked = "\xef\xbb\xbf" + document("", "<State>5 6 7</State>");
    ReadStatus status = ReadStatus::NotADocument;
    bool readerError = false;
    EXPECT_EQ(throughDevice(marked, status), throughReader(marked, readerError));
}

TEST_F(DocumentReadDeviceTest, TheReaderNeverSeesTheDigitsTakenFromTheBytes) {
    QBuffer buffer;
    buffer.setData(document("<!-- \xc3\xa9 <State> -->", "<State>10 20 30<!-- x -->40 </State>"));
    buffer.open(QIODevice::ReadOnly);
    DocumentReadDevice device(buffer);
    QXmlStreamReader reader(&device);
    QStringList seen;
    QByteArray taken;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("State")) {
            ASSERT_TRUE(device.standsAfterStateTag(reader.characterOffset()));
            device.takeDigitsAndSpaces(
                [&](const char* bytes, std::size_t length) { taken.append(bytes, int(length)); });
            // A second take finds nothing: the comment comes next.
            device.takeDigitsAndSpaces([&](const char*, std::size_t) { ADD_FAILURE(); });
        } else if (reader.isCharacters()) {
            seen << reader.text().toString();
        } else if (reader.isStartElement()) {
            EXPECT_FALSE(device.standsAfterStateTag(reader.characterOffset()));
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(taken, QByteArray("10 20 30"));
    EXPECT_EQ(seen, QStringList{QStringLiteral("40 ")});
    EXPECT_EQ(device.documentSize(), buffer.size());
}

// The run is read eight bytes at a time: a byte that is neither digit nor space ends it wherever
// it stands in its word, whatever its value.
TEST_F(DocumentReadDeviceTest, TheTakenRunEndsAtTheFirstByteThatIsNeitherDigitNorSpace) {
    const QByteArray digits = "12 3456 7 89 0 1 23 45";
    for (int stop = 0; stop < 256; ++stop) {
        if (stop == ' ' || (stop >= '0' && stop <= '9'))
            continue;
        for (int at = 0; at < digits.size(); ++at) {
            QByteArray state = digits;
            state[at] = char(stop);
            QBuffer buffer;
            buffer.setData("<State>" + state);
            buffer.open(QIODevice::ReadOnly);
            DocumentReadDevice device(buffer);
            ASSERT_EQ(device.read(64), QByteArray("<State>"));
            QByteArray taken;
            device.takeDigitsAndSpaces(
                [&](const char* bytes, std::size_t length) { taken.append(bytes, int(length)); });
            ASSERT_EQ(taken, digits.left(at)) << "byte " << stop << " at " << at;
            ASSERT_EQ(device.read(64), state.mid(at)) << "byte " << stop << " at " << at;
        }
    }
}

TEST_F(DocumentReadDeviceTest, BytesThatAreNotUtf8SwitchTheShortcutOff) {
    // Latin-1, an overlong encoding, a UTF-16 surrogate.
    for (const QByteArray& odd :
         {QByteArray("\xe9"), QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80")}) {
        QBuffer buffer;
        buffer.setData(document("<!--" + odd + "-->", "<State>1 2</State>"));
        buffer.open(QIODevice::ReadOnly);
        DocumentReadDevice device(buffer);
        QXmlStreamReader reader(&device);
        advanceTo(reader, "State");
        EXPECT_FALSE(device.standsAfterStateTag(reader.characterOffset()))
            << odd.toHex().toStdString();
    }
}

TEST_F(DocumentReadDeviceTest, AVolumeLargerThanItsDocumentCanDescribeIsRefusedBeforeAllocating) {
    // 142 bytes claiming a hundred million cells: even one digit and a space per cell would
    // take 200 MB of State text.
    const QByteArray bytes =
        "<?xml version=\"1.0\"?><Document><Header version=\"1\"/><Object object-type=\"1\" "
        "size-x=\"1000\" size-y=\"1000\" size-z=\"100\"/></Document>             ";
    ASSERT_EQ(bytes.size(), 142);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const auto result = DocumentArchiver(archivers).read(&buffer);
    EXPECT_EQ(result.status, ReadStatus::Refused);
    EXPECT_TRUE(result.objects.empty());
    EXPECT_TRUE(result.error.contains(QLatin1String("1000 x 1000 x 100")))
        << result.error.toStdString();

    // What the document can hold still reads, short State and all.
    ReadStatus status = ReadStatus::NotADocument;
    EXPECT_EQ(
        throughDevice(document("", "<State/>", "size-x=\"8\" size-y=\"4\" size-z=\"2\""), status),
        std::vector<int>(64, 0));
    EXPECT_EQ(status, ReadStatus::Complete);
}

} // namespace CELLVANE_TEST_FILE
