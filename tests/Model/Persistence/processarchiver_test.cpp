#include "Model/Persistence/processarchiver.h"
#include "support/qtprinters.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Persistence::ProcessArchiver;
using ProcessRecord = Model::Process::Process;

namespace {

QString written(const ProcessRecord& process) {
    QString text;
    QXmlStreamWriter writer(&text);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    ProcessArchiver::saveProcess(process, writer);
    // Auto-formatting opens a fragment without a document on a new line.
    return text.trimmed();
}

ProcessRecord readFirst(const QString& xml, bool* ok) {
    QXmlStreamReader reader(xml);
    reader.readNextStartElement();
    return ProcessArchiver::loadProcess(reader, ok);
}

} // namespace

TEST(ProcessArchiver, WritesAttributesInOrderAndTheJoinedList) {
    EXPECT_EQ(written(ProcessRecord(QStringLiteral("CVD"), 3, {3, 16})),
              QStringLiteral("<Process version=\"1\" name=\"CVD\" process-id=\"3\">\n"
                             "    <CompatibleMaterials>3;16</CompatibleMaterials>\n"
                             "</Process>"));
    EXPECT_EQ(written(ProcessRecord(QStringLiteral("Planarization"), 7)),
              QStringLiteral("<Process version=\"1\" name=\"Planarization\" process-id=\"7\">\n"
                             "    <CompatibleMaterials></CompatibleMaterials>\n"
                             "</Process>"));
}

TEST(ProcessArchiver, ReadsBackWhatItWrote) {
    const ProcessRecord original(QStringLiteral("Spin Coating / Soft Lithography"), 8,
                                 {11, 12, 13, 11});
    bool ok = false;
    const ProcessRecord back = readFirst(written(original), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back.getName(), original.getName());
    EXPECT_EQ(back.getId(), 8u);
    EXPECT_EQ(back.getCompatibleMaterialIds(), original.getCompatibleMaterialIds());
}

TEST(ProcessArchiver, CompatibleListSkipsEmptyAndNonNumericParts) {
    bool ok = false;
    const ProcessRecord process = readFirst(
        "<Process name=\"P\" process-id=\"1\"><CompatibleMaterials>3;;16;x</CompatibleMaterials>"
        "</Process>",
        &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(process.getCompatibleMaterialIds(), (std::list<uint32_t>{3, 16}));

    // A child of another name is no list.
    const ProcessRecord other =
        readFirst("<Process name=\"P\" process-id=\"1\"><Materials>3</Materials></Process>", &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(other.getCompatibleMaterialIds().empty());
}

TEST(ProcessArchiver, RejectsProcessesWhoseNumbersDoNotParse) {
    const char* const rejected[] = {
        "<Process name=\"P\" process-id=\"abc\"><CompatibleMaterials>1</CompatibleMaterials>"
        "</Process>",
        "<Process name=\"P\" process-id=\"2\" version=\"1.0\"/>",
        "<Process name=\"P\" process-id=\"0\"/>",
        "<Process process-id=\"2\"/>",
        "<Process name=\"P\"/>",
        "<CompatibleMaterials>1</CompatibleMaterials>",
    };
    for (const char* xml : rejected) {
        SCOPED_TRACE(xml);
        bool ok = true;
        const ProcessRecord process = readFirst(QString::fromLatin1(xml), &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(process.getId(), 0u);
        EXPECT_TRUE(process.getCompatibleMaterialIds().empty());
    }
}

TEST(ProcessArchiver, AListCutShortIsAnError) {
    bool ok = true;
    readFirst("<Process name=\"P\" process-id=\"4\"><Compatible", &ok);
    EXPECT_FALSE(ok);
}

TEST(ProcessArchiver, EtchRatesRoundTripAndAFileWithoutThemReadsAsBefore) {
    ProcessRecord etching(QStringLiteral("Isotropic Etching"), 10, {1, 3});
    etching.setEtchRates({{3, 0.1}, {11, 0.025}});
    const QString xml = written(etching);
    EXPECT_TRUE(xml.contains(QStringLiteral("<Rate material-id=\"3\" value=\"0.1\"/>")))
        << xml.toStdString();
    bool ok = false;
    ProcessRecord back = readFirst(xml, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back.getCompatibleMaterialIds(), etching.getCompatibleMaterialIds());
    EXPECT_EQ(back.getEtchRates(), etching.getEtchRates());

    // A following process is not swallowed, bad rates are skipped, and an old file (no
    // table, or no list at all) gives an empty table.
    QXmlStreamReader reader(QStringLiteral(
        "<Processes><Process name=\"A\" process-id=\"1\"><CompatibleMaterials/>"
        "<EtchRates><Rate material-id=\"4\" value=\"-1\"/><Rate material-id=\"x\" value=\"1\"/>"
        "<Rate material-id=\"5\" value=\"2.5\"/></EtchRates></Process>"
        "<Process name=\"B\" process-id=\"2\"/>"
        "<Process name=\"C\" process-id=\"3\"><CompatibleMaterials>7</CompatibleMaterials>"
        "</Process></Processes>"));
    std::vector<ProcessRecord> read;
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            const ProcessRecord p = ProcessArchiver::loadProcess(reader, &ok);
            if (ok)
                read.push_back(p);
        }
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0].getEtchRates(), (std::map<uint32_t, double>{{5, 2.5}}));
    EXPECT_TRUE(read[1].getEtchRates().empty());
    EXPECT_EQ(read[2].getCompatibleMaterialIds(), std::list<uint32_t>{7});
    EXPECT_TRUE(read[2].getEtchRates().empty());
    // Without a table the element is not written at all, so old files stay byte for byte.
    EXPECT_FALSE(written(read[2]).contains(QStringLiteral("EtchRates")));
}

} // namespace CELLVANE_TEST_FILE
