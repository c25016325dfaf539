#include "Model/Persistence/materialarchiver.h"
#include "support/qtprinters.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <gtest/gtest.h>

#include <limits>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;
using Model::Persistence::MaterialArchiver;

namespace {

// Reads the first start element of `xml` with the archiver.
Material readFirst(const QString& xml, bool* ok, QString* reason = nullptr) {
    QXmlStreamReader reader(xml);
    reader.readNextStartElement();
    return MaterialArchiver::loadMaterial(&reader, ok, reason);
}

QString written(const Material& material) {
    QString text;
    QXmlStreamWriter writer(&text);
    EXPECT_TRUE(MaterialArchiver::saveMaterial(&writer, material));
    writer.writeEndDocument(); // closes the empty element
    return text.trimmed();
}

} // namespace

TEST(MaterialArchiver, WritesAttributesInOrderWithSixDigitNumbersAndArgbColour) {
    const Material copper(5, QStringLiteral("Cu & \"bulk\""), 8960.f, 1.28e11f, 0.36f,
                          Util::Vector4D(0.05, 0.0, 1.0, 1.0));
    EXPECT_EQ(written(copper),
              QStringLiteral("<Material version=\"1\" name=\"Cu &amp; &quot;bulk&quot;\" "
                             "material-id=\"5\" density=\"8960\" poisson-ratio=\"0.36\" "
                             "young-modulus=\"1.28e+11\" color=\"#FF0C00FF\"/>"));

    EXPECT_EQ(MaterialArchiver::numberToText(2329.f), QStringLiteral("2329"));
    EXPECT_EQ(MaterialArchiver::numberToText(1.88e11f), QStringLiteral("1.88e+11"));
    EXPECT_EQ(MaterialArchiver::numberToText(0.28f), QStringLiteral("0.28"));
    EXPECT_EQ(MaterialArchiver::numberToText(123456789.f), QStringLiteral("1.23457e+08"));
}

TEST(MaterialArchiver, ColourChannelsAreTruncatedAndClampedToOneByte) {
    Material material;
    material.setColor(0.5f, 0.999f, 0.f, 0.7f);
    EXPECT_EQ(MaterialArchiver::colorToText(material), QStringLiteral("#B27FFE00"));
    // Out-of-range or undefined components must not break the fixed "#AARRGGBB" width.
    material.setColor(1.5f, -0.2f, std::numeric_limits<float>::quiet_NaN(), 2.f);
    EXPECT_EQ(MaterialArchiver::colorToText(material), QStringLiteral("#FFFF0000"));
}

TEST(MaterialArchiver, WrittenColourReadsBackAsTheTruncatedChannel) {
    const Material original(20, QStringLiteral("Tinted"), 1.f, 1.f, 1.f,
                            Util::Vector4D(0.05, 0.0, 1.0, 0.5));
    bool ok = false;
    const Material back = readFirst(written(original), &ok);
    ASSERT_TRUE(ok);
    EXPECT_FLOAT_EQ(back.getRed(), 12.f / 255.f);
    EXPECT_FLOAT_EQ(back.getGreen(), 0.f);
    EXPECT_FLOAT_EQ(back.getBlue(), 1.f);
    EXPECT_FLOAT_EQ(back.getAlpha(), 127.f / 255.f);
    EXPECT_EQ(back, original);
}

TEST(MaterialArchiver, ReadsEveryAttributeAndIgnoresUnknownOnes) {
    bool ok = false;
    const Material material = readFirst(
        "<Material extra=\"1\" version=\"9\" name=\"Ge\" material-id=\"32\" density=\"5323\" "
        "poisson-ratio=\"0.26\" young-modulus=\"1.03e+11\" color=\"#FF102030\"/>",
        &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(material.getId(), 32u);
    EXPECT_EQ(material.getName(), QStringLiteral("Ge"));
    EXPECT_FLOAT_EQ(material.getDensity(), 5323.f);
    EXPECT_FLOAT_EQ(material.getPoissonRatio(), 0.26f);
    EXPECT_FLOAT_EQ(material.getYoungModulus(), 1.03e11f);
    EXPECT_FLOAT_EQ(material.getRed(), 16.f / 255.f);
    EXPECT_FLOAT_EQ(material.getGreen(), 32.f / 255.f);
    EXPECT_FLOAT_EQ(material.getBlue(), 48.f / 255.f);
    EXPECT_FLOAT_EQ(material.getAlpha(), 1.f);
}

TEST(MaterialArchiver, ValuesThatDoNotParse) {
    bool ok = true;
    Material material =
        readFirst("<Material name=\"A\" material-id=\"7\" density=\"heavy\" "
                  "poisson-ratio=\"nan\" young-modulus=\"1e99\" color=\"#GG0000\"/>",
                  &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(material.getDensity(), 0.f);
    EXPECT_EQ(material.getPoissonRatio(), 0.f);
    EXPECT_EQ(material.getYoungModulus(), 0.f);
    // An unparsable colour reads as opaque black.
    EXPECT_EQ(material.getColor().x, 0.0);
    EXPECT_EQ(material.getColor().w, 1.0);

    // Named and short colour forms are colour names too.
    material = readFirst("<Material name=\"A\" material-id=\"7\" color=\"red\"/>", &ok);
    EXPECT_FLOAT_EQ(material.getRed(), 1.f);
    EXPECT_FLOAT_EQ(material.getGreen(), 0.f);

    // Missing constants and colour keep the empty material's values.
    material = readFirst("<Material name=\"A\" material-id=\"7\"/>", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(material.getDensity(), 0.f);
    EXPECT_FLOAT_EQ(material.getRed(), 0.5f);
    EXPECT_FLOAT_EQ(material.getAlpha(), 1.f);
}

TEST(MaterialArchiver, RejectsRecordsWithoutIdOrName) {
    const char* const rejected[] = {
        "<Material material-id=\"7\"/>",
        "<Material name=\"\" material-id=\"7\"/>",
        "<Material name=\"A\"/>",
        "<Material name=\"A\" material-id=\"0\"/>",
        "<Material name=\"A\" material-id=\"seven\"/>",
        "<Material name=\"A\" material-id=\"-7\"/>",
        "<Material name=\"A\" material-id=\"99999999999\"/>",
        "<material name=\"A\" material-id=\"7\"/>",
        "<Process name=\"A\" material-id=\"7\"/>",
    };
    for (const char* xml : rejected) {
        SCOPED_TRACE(xml);
        bool ok = true;
        const Material material = readFirst(QString::fromLatin1(xml), &ok);
        EXPECT_FALSE(ok);
    }
    bool ok = true;
    EXPECT_EQ(MaterialArchiver::loadMaterial(nullptr, &ok).getId(), 0u);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(MaterialArchiver::saveMaterial(nullptr, Material()));
}

// A material's own sticking probability: written only when it has one, read back, and refused
// (the material still read, without it) when it is no probability.
TEST(MaterialArchiver, StickingIsAnOptionalProbability) {
    Material material(7, QStringLiteral("Resist"), 1.f, 1.f, 0.3f);
    EXPECT_FALSE(written(material).contains(QStringLiteral("sticking")));
    material.setSticking(0.25f);
    bool ok = false;
    const Material back = readFirst(written(material), &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(back.getSticking());
    EXPECT_FLOAT_EQ(*back.getSticking(), 0.25f);
    for (const char* value : {"1.5", "-0.1", "nan", "often", ""}) {
        SCOPED_TRACE(value);
        const Material refused =
            readFirst(QStringLiteral("<Material name=\"A\" material-id=\"7\" sticking=\"%1\"/>")
                          .arg(QString::fromLatin1(value)),
                      &ok);
        EXPECT_TRUE(ok);
        EXPECT_FALSE(refused.getSticking());
    }
}

TEST(MaterialArchiver, ResidualStressAndConductorRoundTripAndStayOutOfOlderRecords) {
    // A record written before these fields existed reads with no stress, the conductor flag of
    // its id, and is written back exactly as it was.
    const QString older = QStringLiteral(
        "<Material version=\"1\" name=\"Al (bulk)\" material-id=\"4\" density=\"2700\" "
        "poisson-ratio=\"0.14\" young-modulus=\"7e+10\" color=\"#FFB2B2B2\"/>");
    bool ok = false;
    Material material = readFirst(older, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(material.getResidualStress(), 0.f);
    EXPECT_EQ(material.getStressGradient(), 0.f);
    EXPECT_TRUE(material.isConductor());
    EXPECT_EQ(written(material), older);
    EXPECT_FALSE(readFirst(QStringLiteral("<Material name=\"Oxide\" material-id=\"3\"/>"), &ok)
                     .isConductor());

    material.setResidualStress(-12.5f);
    material.setStressGradient(0.75f);
    material.setConductor(false);
    const QString text = written(material);
    EXPECT_TRUE(text.endsWith(
        QStringLiteral("residual-stress=\"-12.5\" stress-gradient=\"0.75\" conductor=\"false\"/>")))
        << text.toStdString();
    const Material back = readFirst(text, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(back.getResidualStress(), -12.5f);
    EXPECT_EQ(back.getStressGradient(), 0.75f);
    EXPECT_FALSE(back.isConductor());
    EXPECT_EQ(written(back), text);
}

TEST(MaterialArchiver, OutOfRangeValuesAreRefusedWithTheReason) {
    const struct {
        const char* attributes;
        const char* reason;
    } cases[] = {
        {"young-modulus=\"-1e9\"", "young-modulus -1e9 is negative"},
        {"residual-stress=\"nan\"", "residual-stress \"nan\" is not a finite number"},
        {"residual-stress=\"1e99\"", "residual-stress \"1e99\" is not a finite number"},
        {"stress-gradient=\"steep\"", "stress-gradient \"steep\" is not a finite number"},
        {"conductor=\"yes\"", "conductor \"yes\" is neither true nor false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        bool ok = true;
        QString reason;
        readFirst(QStringLiteral("<Material name=\"A\" material-id=\"7\" %1/>")
                      .arg(QLatin1String(c.attributes)),
                  &ok, &reason);
        EXPECT_FALSE(ok);
        EXPECT_EQ(reason, QString::fromLatin1(c.reason));
    }
    // Zero stiffness stays accepted as before; only a negative one is refused.
    bool ok = false;
    QString reason = QStringLiteral("stale");
    readFirst(QStringLiteral("<Material name=\"A\" material-id=\"7\" young-modulus=\"0\"/>"), &ok,
              &reason);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(reason.isEmpty());
}

} // namespace CELLVANE_TEST_FILE
