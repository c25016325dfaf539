#include "Core/ProcessList/parametercodec.h"
#include "Core/ProcessList/processlistarchiver.h"
#include "support/qtprinters.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QSet>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::ParameterCodec;
using Ui::ProcessData;
using Ui::ProcessListArchiver;
using ByteVector = ParameterCodec::ByteVector;

namespace {

QString path(const QString& name) {
    return QDir::home().filePath(name);
}

void writeFile(const QString& fileName, const QByteArray& bytes) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<ProcessData> load(const QByteArray& bytes, bool* ok = nullptr) {
    writeFile(path("list.plst"), bytes);
    QList<ProcessData> list;
    ProcessListArchiver archiver;
    const bool loaded = archiver.loadProcessList(path("list.plst"), list);
    if (ok)
        *ok = loaded;
    return list;
}

QByteArray listOf(const QByteArray& records) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Process-List>\n" + records +
           "</Process-List>\n";
}

QVariant roundTrip(const QVariant& value) {
    return ParameterCodec::decode(ParameterCodec::typeName(value), ParameterCodec::encode(value));
}

} // namespace

TEST(ProcessData, TakesSerialIdsThatCopiesKeep) {
    ProcessData first(ProcessData::CVD);
    ProcessData second(ProcessData::PVD);
    const ProcessData copy = second;
    EXPECT_EQ(second.getId(), first.getId() + 1);
    EXPECT_EQ(copy.getId(), second.getId());
    EXPECT_EQ(copy.getProcessType(), 12);
}

TEST(ProcessData, AskingForAMissingParameterAddsIt) {
    ProcessData process(ProcessData::Doping);
    process.setParameter(QStringLiteral("Depth"), 2.5, true);
    process.setParameter(QStringLiteral("Depth"), 3.5, false);
    EXPECT_DOUBLE_EQ(process.getParameter(QStringLiteral("Depth")).toDouble(), 3.5);
    EXPECT_FALSE(process.isVisible(QStringLiteral("Depth")));

    EXPECT_FALSE(process.getParameter(QStringLiteral("Dose")).isValid());
    EXPECT_EQ(process.getParameters().keys(), (QStringList{"Depth", "Dose"}));
    EXPECT_FALSE(process.isVisible(QStringLiteral("Angle")));
    EXPECT_TRUE(process.getVisibility().contains(QStringLiteral("Angle")));
}

TEST(ProcessData, DisplayNames) {
    EXPECT_EQ(ProcessData::displayName(0), "Photolithography");
    EXPECT_EQ(ProcessData::displayName(1), "Si wet etching");
    EXPECT_EQ(ProcessData::displayName(12), "PVD");
    EXPECT_EQ(ProcessData::displayName(15), "Si Oxidation");
    EXPECT_EQ(ProcessData::displayName(16), "Unknown process");
    EXPECT_EQ(ProcessData::displayName(-1), "Unknown process");
}

TEST(ParameterCodec, ByteVectorsAreStringsOfOnesAndZeros) {
    const QVariant bytes = QVariant::fromValue(ByteVector{1, 0, 0, 7});
    EXPECT_EQ(ParameterCodec::typeName(bytes), "vector");
    EXPECT_EQ(ParameterCodec::encode(bytes), "1001");
    EXPECT_EQ(ParameterCodec::decode("vector", "1001").value<ByteVector>(),
              (ByteVector{1, 0, 0, 1}));
    EXPECT_EQ(ParameterCodec::decode("vector", "1x2 1").value<ByteVector>(),
              (ByteVector{1, 0, 0, 0, 1}));
    EXPECT_EQ(ParameterCodec::encode(QVariant::fromValue(ByteVector{})), "");
    EXPECT_TRUE(roundTrip(QVariant::fromValue(ByteVector{})).value<ByteVector>().empty());
}

TEST(ParameterCodec, VectorsAreThreeNumbersJoinedBySemicolons) {
    const QVariant vector = QVariant::fromValue(Util::Vector3D(0.5, 2.0, -1.0));
    EXPECT_EQ(ParameterCodec::typeName(vector), "Util::Vector3D");
    EXPECT_EQ(ParameterCodec::encode(vector), "0.5;2;-1");
    EXPECT_EQ(ParameterCodec::encode(
                  QVariant::fromValue(Util::Vector3D(1.0 / 3.0, 1e-12, 123456789012.0))),
              "0.3333333333;1e-12;1.23456789e+11");

    const auto read = [](const char* text) {
        return ParameterCodec::decode("Util::Vector3D", QString::fromLatin1(text))
            .value<Util::Vector3D>();
    };
    EXPECT_DOUBLE_EQ(read("0.5;2;-1").x, 0.5);
    EXPECT_DOUBLE_EQ(read("0.5;2;-1").z, -1.0);
    EXPECT_DOUBLE_EQ(read("1;;3").y, 0.0);
    EXPECT_DOUBLE_EQ(read("1;;3").z, 3.0);
    EXPECT_DOUBLE_EQ(read("1;2").z, 0.0);
    EXPECT_DOUBLE_EQ(read("").x, 0.0);
    EXPECT_DOUBLE_EQ(read("nan;inf;4;9").x, 0.0);
    EXPECT_DOUBLE_EQ(read("nan;inf;4;9").y, 0.0);
    EXPECT_DOUBLE_EQ(read("nan;inf;4;9").z, 4.0);
    EXPECT_DOUBLE_EQ(read("nan;inf;4;9").w, 0.0);
}

TEST(ParameterCodec, ColoursLoseTheirAlpha) {
    const QVariant color(QColor(255, 16, 171, 128));
    EXPECT_EQ(ParameterCodec::typeName(color), "QColor");
    EXPECT_EQ(ParameterCodec::encode(color), "#ff10ab");
    const QColor back = roundTrip(color).value<QColor>();
    EXPECT_EQ(back, QColor(255, 16, 171));
    EXPECT_EQ(back.alpha(), 255);
}

TEST(ParameterCodec, PlainKindsUseTheirTextForms) {
    EXPECT_EQ(ParameterCodec::typeName(QVariant(10.0)), "double");
    EXPECT_EQ(ParameterCodec::encode(QVariant(10.0)), "10");
    EXPECT_EQ(ParameterCodec::encode(QVariant(0.1f)), QVariant(0.1f).toString());
    EXPECT_EQ(ParameterCodec::encode(QVariant(true)), "true");
    EXPECT_EQ(ParameterCodec::encode(QVariant(-3)), "-3");

    EXPECT_EQ(roundTrip(QVariant(0.1f)).userType(), int(QMetaType::Float));
    EXPECT_FLOAT_EQ(roundTrip(QVariant(0.1f)).toFloat(), 0.1f);
    EXPECT_DOUBLE_EQ(roundTrip(QVariant(1.0 / 3.0)).toDouble(), 1.0 / 3.0);
    EXPECT_EQ(roundTrip(QVariant(4000000000u)).toUInt(), 4000000000u);
    EXPECT_EQ(roundTrip(QVariant(QStringLiteral("a;b \"c\""))).toString(), "a;b \"c\"");

    EXPECT_FALSE(ParameterCodec::decode("bool", "True").toBool()) << "case matters";
    EXPECT_EQ(ParameterCodec::decode("int", "12abc").toInt(), 0);
    EXPECT_EQ(ParameterCodec::decode("int", "99999999999").toInt(), 0);
    EXPECT_DOUBLE_EQ(ParameterCodec::decode("double", "inf").toDouble(), 0.0);
    EXPECT_FLOAT_EQ(ParameterCodec::decode("float", "1e39").toFloat(), 0.f);
}

TEST(ParameterCodec, OtherKindsAreNamedButComeBackInvalid) {
    const QVariant point(QPoint(1, 2));
    EXPECT_EQ(ParameterCodec::typeName(point), "QPoint");
    EXPECT_FALSE(roundTrip(point).isValid());
    EXPECT_EQ(ParameterCodec::typeName(QVariant()), "");
    EXPECT_EQ(ParameterCodec::encode(QVariant()), "");
    EXPECT_FALSE(ParameterCodec::decode("", "").isValid());
}

TEST(ProcessListArchiver, WritesOneIndentedRecordPerProcessWithItsParametersInNameOrder) {
    ProcessData pvd(ProcessData::PVD);
    pvd.setParameter(QStringLiteral("Thickness"), 10.0, true);
    pvd.setParameter(QStringLiteral("Material"), 4u, false);
    pvd.setParameter(QStringLiteral("Direction"),
                     QVariant::fromValue(Util::Vector3D(0.5, 2.0, -1.0)), true);
    ProcessData image(ProcessData::SaveImage);
    ProcessListArchiver archiver({pvd, image});
    ASSERT_TRUE(archiver.saveProcessList(path("pvd.plst")));

    EXPECT_EQ(readFile(path("pvd.plst")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Process-List>\n"
              "    <Process-Data process-type=\"12\">\n"
              "        <Parameter parameter-name=\"Direction\" parameter-type=\"Util::Vector3D\" "
              "parameter-data=\"0.5;2;-1\" parameter-visibility=\"true\"/>\n"
              "        <Parameter parameter-name=\"Material\" parameter-type=\"uint\" "
              "parameter-data=\"4\" parameter-visibility=\"false\"/>\n"
              "        <Parameter parameter-name=\"Thickness\" parameter-type=\"double\" "
              "parameter-data=\"10\" parameter-visibility=\"true\"/>\n"
              "    </Process-Data>\n"
              "    <Process-Data process-type=\"10\"/>\n"
              "</Process-List>\n");
}

TEST(ProcessListArchiver, ReadsBackEveryKindWithNewIds) {
    ProcessData lithography(ProcessData::Photolithography);
    lithography.setParameter(QStringLiteral("Mask"), QVariant::fromValue(ByteVector{1, 0, 0, 1}),
                             false);
    lithography.setParameter(QStringLiteral("Color"), QColor(10, 20, 30, 128), true);
    lithography.setParameter(QStringLiteral("Name"), QStringLiteral("front & back"), true);
    lithography.setParameter(QStringLiteral("Top"), true, true);
    lithography.setParameter(QStringLiteral("Steps"), -4, true);
    ProcessListArchiver({lithography}).saveProcessList(path("litho.plst"));

    QList<ProcessData> list;
    ProcessListArchiver reader;
    ASSERT_TRUE(reader.loadProcessList(path("litho.plst"), list));
    ASSERT_EQ(list.size(), 1);
    ProcessData& back = list[0];
    EXPECT_NE(back.getId(), lithography.getId());
    EXPECT_EQ(back.getProcessType(), 0);
    EXPECT_EQ(back.getParameter("Mask").value<ByteVector>(), (ByteVector{1, 0, 0, 1}));
    EXPECT_FALSE(back.isVisible("Mask"));
    EXPECT_EQ(back.getParameter("Color").value<QColor>(), QColor(10, 20, 30));
    EXPECT_EQ(back.getParameter("Name").toString(), "front & back");
    EXPECT_TRUE(back.getParameter("Top").toBool());
    EXPECT_EQ(back.getParameter("Steps").toInt(), -4);
    EXPECT_TRUE(back.isVisible("Steps"));
}

TEST(ProcessListArchiver, ParametersComeBackInNameOrderAndRecordsInFileOrder) {
    const auto list = load(listOf(
        "<Process-Data process-type=\"5\">"
        "<Parameter parameter-name=\"z\" parameter-type=\"int\" parameter-data=\"1\"/>"
        "<Parameter parameter-name=\"a\" parameter-type=\"int\" parameter-data=\"2\" "
        "parameter-visibility=\"\"/>"
        "<Parameter parameter-name=\"m\" parameter-type=\"int\" parameter-data=\"3\" "
        "parameter-visibility=\"TRUE\"/>"
        "<Parameter parameter-name=\"a\" parameter-type=\"int\" parameter-data=\"4\"/>"
        "</Process-Data>"
        "<Process-Data process-type=\"3\"/>"
        "<Process-Data process-type=\"x\"><Parameter parameter-name=\"q\" parameter-type=\"Foo\" "
        "parameter-data=\"bar\"/></Process-Data>"));
    ASSERT_EQ(list.size(), 3);
    ProcessData first = list[0];
    EXPECT_EQ(first.getProcessType(), 5);
    EXPECT_EQ(first.getParameters().keys(), (QStringList{"a", "m", "z"}));
    EXPECT_EQ(first.getParameter("a").toInt(), 4) << "a later parameter replaces an earlier one";
    EXPECT_TRUE(first.isVisible("a")) << "no visibility means visible";
    EXPECT_FALSE(first.isVisible("m"));
    EXPECT_TRUE(first.isVisible("z"));
    EXPECT_EQ(list[1].getProcessType(), 3);
    EXPECT_TRUE(list[1].getParameters().isEmpty());
    ProcessData third = list[2];
    EXPECT_EQ(third.getProcessType(), 0) << "a type that is no number reads as 0";
    EXPECT_TRUE(third.getParameters().contains("q"));
    EXPECT_FALSE(third.getParameter("q").isValid());
}

TEST(ProcessListArchiver, LoadingTwiceAppendsTwiceWithNewIds) {
    ProcessData cvd(ProcessData::CVD);
    cvd.setParameter(QStringLiteral("Thickness"), 3.0, true);
    ProcessListArchiver({cvd, ProcessData(ProcessData::IsotropicEtching)})
        .saveProcessList(path("two.plst"));

    QList<ProcessData> list;
    ProcessListArchiver reader;
    ASSERT_TRUE(reader.loadProcessList(path("two.plst"), list));
    ASSERT_TRUE(reader.loadProcessList(path("two.plst"), list));
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0].getProcessType(), 4);
    EXPECT_EQ(list[1].getProcessType(), 5);
    EXPECT_EQ(list[2].getProcessType(), 4);
    EXPECT_EQ(list[3].getProcessType(), 5);
    QSet<int> ids;
    for (const ProcessData& process : list)
        ids.insert(process.getId());
    EXPECT_EQ(ids.size(), 4);
    EXPECT_FALSE(ids.contains(cvd.getId()));
}

TEST(ProcessListArchiver, OtherElementsAmongTheRecordsAreSkipped) {
    const auto list = load("<Wrapper><Note/><Process-List><Comment>x</Comment>"
                           "<Process-Data process-type=\"8\"><Parameter parameter-name=\"d\" "
                           "parameter-type=\"double\" parameter-data=\"1.5\"/><Extra/>"
                           "<Parameter parameter-name=\"late\" parameter-type=\"int\" "
                           "parameter-data=\"1\"/></Process-Data>"
                           "</Process-List></Wrapper>");
    ASSERT_EQ(list.size(), 1);
    ProcessData record = list[0];
    EXPECT_EQ(record.getProcessType(), 8);
    EXPECT_EQ(record.getParameters().keys(), QStringList{"d"}) << "the record ends at <Extra>";
}

TEST(ProcessListArchiver, FilesThatAreNoListsOrDamagedLeaveTheListUnchanged) {
    QList<ProcessData> list{ProcessData(ProcessData::CVD)};
    ProcessListArchiver archiver;
    writeFile(path("bad.plst"), "<Materials><Process-Data process-type=\"1\"/></Materials>");
    EXPECT_FALSE(archiver.loadProcessList(path("bad.plst"), list));
    EXPECT_TRUE(archiver.errorString().contains("not a process list"));

    writeFile(path("bad.plst"),
              listOf("<Process-Data process-type=\"1\"/><Process-Data process-type=\"2\">"));
    EXPECT_FALSE(archiver.loadProcessList(path("bad.plst"), list));
    EXPECT_TRUE(archiver.errorString().contains("damaged"));

    writeFile(path("bad.plst"), QByteArray("\xff\xfe\x00junk", 7));
    EXPECT_FALSE(archiver.loadProcessList(path("bad.plst"), list));
    EXPECT_FALSE(archiver.loadProcessList(path("missing.plst"), list));
    EXPECT_FALSE(archiver.loadProcessList(QDir::homePath(), list));
    EXPECT_EQ(list.size(), 1);
}

TEST(ProcessListArchiver, AFailedSaveKeepsThePreviousFile) {
    writeFile(path("kept.plst"), "previous");
    ProcessListArchiver archiver({ProcessData(ProcessData::CVD)});
    EXPECT_FALSE(archiver.saveProcessList(path("no/such/folder/kept.plst")));
    EXPECT_FALSE(archiver.saveProcessList(QDir::homePath()));
    EXPECT_EQ(readFile(path("kept.plst")), "previous");
}

TEST(ProcessListArchiver, ReadingAnythingButARecordGivesAnInvalidRecord) {
    ProcessListArchiver archiver;
    EXPECT_EQ(archiver.readProcessData().getProcessType(), ProcessData::Invalid);
}

} // namespace CELLVANE_TEST_FILE
