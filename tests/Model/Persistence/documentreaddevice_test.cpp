#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/documentreaddevice.h"
#include "Model/Persistence/statetextshares.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Util/pooltasks.h"
#include "support/registryfiles.h"
#include "support/scenes.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::TotalVolume;
using Model::Persistence::ArchiverTable;
using Model::Persistence::DocumentArchiver;
using Model::Persistence::DocumentReadDevice;
using Model::Persistence::StateTextShares;
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

// A source that can only be read front to back, a piece at a time, as a pipe is.
class Stream : public QIODevice {
public:
    explicit Stream(const QByteArray& bytes) : bytes(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 length = std::min<qint64>({maxSize, 5000, bytes.size() - at});
        std::memcpy(data, bytes.constData() + at, std::size_t(length));
        at += length;
        return length;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray bytes;
    qint64 at = 0;
};

// Where the document reader takes a document from: bytes in memory read where they lie, a file
// it maps, a source it can only stream, and a buffer opened as text (no carriage returns).
enum class Source { Buffer, File, Stream, Text };

class DocumentReadDeviceTest : public TestSupport::RegistryTest {
protected:
    // The cells of the document's first volume as the document reader gives them (through a
    // DocumentReadDevice, taking what it can straight from the bytes)...
    std::vector<int> throughDevice(const QByteArray& bytes, ReadStatus& status,
                                   Source source = Source::Buffer) {
        QBuffer buffer;
        buffer.setData(bytes);
        Stream stream(bytes);
        QFile file(folder.filePath(QStringLiteral("document.cvx")));
        QIODevice* device = &buffer;
        if (source == Source::File) {
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
            file.close();
            EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
            device = &file;
        } else if (source == Source::Stream) {
            device = &stream;
        } else {
            buffer.open(source == Source::Text ? QIODevice::ReadOnly | QIODevice::Text
                                               : QIODevice::ReadOnly);
        }
        const auto result = DocumentArchiver(archivers).read(device);
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
    QTemporaryDir folder;
};

} // namespace

TEST_F(DocumentReadDeviceTest, CellsAreTheSameAsWhenTheReaderReadsTheWholeText) {
    QByteArray longText;
    for (int i = 0; i < 400000; ++i)
        longText += QByteArray::number(i % 13) + ' ';
    const QByteArray longState = "<State>" + longText + "</State>";
    const char* const longSizes = "size-x=\"200\" size-y=\"50\" size-z=\"40\"";
    // Ids of one digit, as most documents hold them, with a part of three digits between.
    QByteArray singleDigits;
    for (int i = 0; i < 200000; ++i)
        singleDigits += i == 77777 ? QByteArray("123 ") : QByteArray::number(i * 7 % 10) + ' ';
    const auto cut = [](QByteArray text, int at, const QByteArray& inserted) {
        return "<State>" + text.insert(at, inserted) + "</State>";
    };
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
        {"carriage returns", "", "<State>1 2\r3 4\r\r 5\r6 </State>", nullptr},
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
        {"longer than the read buffer", "", longState, longSizes},
        {"single digits", "", "<State>" + singleDigits + "</State>",
         "size-x=\"100\" size-y=\"50\" size-z=\"40\""},
        {"long, a comment within", "", cut(longText, 500001, "<!-- x -->"), longSizes},
        {"long, a carriage return within a part", "", cut(longText, 700001, "\r"), longSizes},
        {"long, cut short", "", "<State>" + longText.left(300001) + "</State>",
         "size-x=\"150\" size-y=\"25\" size-z=\"40\""},
    };
    for (const int threads : {1, 2, 3, 8}) {
        const Util::WorkPool pool(threads);
        for (const auto& c : cases) {
            // Only a long text is shared out on the pool.
            const bool small = c.sizes == nullptr;
            if (small && threads != 1)
                continue;
            QByteArray bytes = document(c.before, c.state,
                                        small ? "size-x=\"3\" size-y=\"2\" size-z=\"2\"" : c.sizes);
            if (c.before.contains('\xe9'))
                bytes.replace("UTF-8", "ISO-8859-1");
            for (const Source source :
                 {Source::Buffer, Source::File, Source::Stream, Source::Text}) {
                // A file opened as text, as documents are, reads without its carriage returns.
                QByteArray expectedBytes = bytes;
                if (source == Source::Text || source == Source::File)
                    expectedBytes.replace('\r', QByteArray());
                ReadStatus status = ReadStatus::NotADocument;
                bool readerError = false;
                const std::vector<int> direct = throughDevice(bytes, status, source);
                const std::string where = std::string(c.name) + ", source " +
                                          std::to_string(int(source)) + ", " +
                                          std::to_string(threads) + " threads";
                EXPECT_EQ(direct, throughReader(expectedBytes, readerError)) << where;
                EXPECT_FALSE(direct.empty()) << where;
                EXPECT_EQ(status == ReadStatus::Damaged, readerError) << where;
            }
        }
    }
    // A byte-order mark before the declaration.
    const QByteArray marked = "\xef\xbb\xbf" + document("", "<State>5 6 7</State>");
    ReadStatus status = ReadStatus::NotADocument;
    bool readerError = false;
    EXPECT_EQ(throughDevice(marked, status), throughReader(marked, readerError));
}

TEST_F(DocumentReadDeviceTest, TheReaderNeverSeesTheDigitsTakenFromTheBytes) {
    const QByteArray bytes =
        document("<!-- \xc3\xa9 <State> -->", "<State>10 20 30<!-- x -->40 </State>");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Stream stream(bytes);
    for (QIODevice* source : {static_cast<QIODevice*>(&buffer), static_cast<QIODevice*>(&stream)}) {
        DocumentReadDevice device(*source);
        EXPECT_EQ(device.readsInPlace(), source == &buffer);
        QXmlStreamReader reader(&device);
        QStringList seen;
        QByteArray taken;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement() && reader.name() == QLatin1String("State")) {
                ASSERT_TRUE(device.standsAfterStateTag(reader.characterOffset()));
                device.takeDigitsAndSpaces([&](const char* bytes, std::size_t length) {
                    const std::size_t run = StateTextShares::runLength(bytes, length);
                    taken.append(bytes, int(run));
                    return run;
                });
                // A second take is offered the comment that comes next.
                device.takeDigitsAndSpaces([&](const char* bytes, std::size_t length) {
                    EXPECT_TRUE(QByteArray(bytes, int(length)).startsWith("<!-- x -->"));
                    return std::size_t(0);
                });
            } else if (reader.isCharacters()) {
                seen << reader.text().toString();
            } else if (reader.isStartElement()) {
                EXPECT_FALSE(device.standsAfterStateTag(reader.characterOffset()));
            }
        }
        EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
        EXPECT_EQ(taken, QByteArray("10 20 30"));
        EXPECT_EQ(seen, QStringList{QStringLiteral("40 ")});
        EXPECT_EQ(device.documentSize(), source == &buffer ? buffer.size() : -1);
    }
}

// The archiver takes what it parsed of the bytes offered; the reader reads on from there, without
// carriage returns when the source was opened as text.
TEST_F(DocumentReadDeviceTest, TheReaderReadsOnWhereTheTakenRunEnds) {
    const QByteArray text = "<State>12 34\r5 6</State>";
    for (const Source source : {Source::Buffer, Source::Stream, Source::Text}) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(source == Source::Text ? QIODevice::ReadOnly | QIODevice::Text
                                           : QIODevice::ReadOnly);
        Stream stream(text);
        DocumentReadDevice device(source == Source::Stream ? static_cast<QIODevice&>(stream)
                                                           : static_cast<QIODevice&>(buffer));
        ASSERT_EQ(device.read(64), QByteArray("<State>"));
        QByteArray offered;
        device.takeDigitsAndSpaces([&](const char* bytes, std::size_t length) {
            offered.append(bytes, int(length));
            return StateTextShares::runLength(bytes, length);
        });
        EXPECT_EQ(offered, text.mid(7)) << int(source);
        EXPECT_EQ(device.readAll(),
                  source == Source::Text ? QByteArray("5 6</State>") : QByteArray("\r5 6</State>"))
            << int(source);
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

// Another program cuts the file short while it is mapped: what lay beyond the cut reads as
// zeros, which no document holds, and the device says so; a bus error anywhere else still ends
// the program.
// A sanitizer installs its own handler for fatal signals, which reports and exits instead of
// letting the signal end the process.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool sanitizerTakesFatalSignals = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
constexpr bool sanitizerTakesFatalSignals = true;
#else
constexpr bool sanitizerTakesFatalSignals = false;
#endif
#else
constexpr bool sanitizerTakesFatalSignals = false;
#endif

TEST_F(DocumentReadDeviceTest, AFileCutShortWhileItIsReadReadsAsZerosBeyondTheCut) {
    QByteArray state = "<State>";
    for (int i = 0; i < 20000; ++i)
        state += "1 2 ";
    const QByteArray bytes = document("", state + "</State>");
    const QString path = folder.filePath(QStringLiteral("cut.cvx"));
    QFile writer(path);
    ASSERT_TRUE(writer.open(QIODevice::WriteOnly) && writer.write(bytes) == bytes.size());
    writer.close();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    DocumentReadDevice device(file);
    ASSERT_TRUE(device.readsInPlace());
    ASSERT_TRUE(QFile::resize(path, 4096));
    const QByteArray read = device.readAll();
    ASSERT_EQ(read.size(), bytes.size());
    EXPECT_EQ(read.left(4096), bytes.left(4096));
    EXPECT_EQ(read.mid(4096), QByteArray(bytes.size() - 4096, '\0'));
    EXPECT_TRUE(device.wasCutShort());

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    if (sanitizerTakesFatalSignals)
        EXPECT_DEATH(raise(SIGBUS), ""); // the sanitizer ends the program its own way
    else
        EXPECT_EXIT(raise(SIGBUS), testing::KilledBySignal(SIGBUS), "");
}

} // namespace CELLVANE_TEST_FILE
