#include "Model/Persistence/materialarchiver.h"

#include "Model/Automaton/materialcells.h"

#include <QColor>
#include <QLoggingCategory>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>
#include <optional>

Q_LOGGING_CATEGORY(lcMaterialArchiver, "Model/Persistence/materialarchiver", QtInfoMsg)

namespace Model::Persistence {

using Materials::Material;

namespace {

// A constant that does not parse, or parses to infinity or NaN, reads as 0: such a value would
// otherwise poison every computation that uses the material.
float readNumber(QStringView text) {
    bool parsed = false;
    const float value = text.toFloat(&parsed);
    return parsed && std::isfinite(value) ? value : 0.f;
}

// Channel byte of a 0..1 component; out-of-range values are clamped so the text keeps its
// fixed width and reads back as a colour.
int channel(float component) {
    if (!(component > 0.f))
        return 0;
    if (component >= 1.f)
        return 255;
    return static_cast<int>(component * 255.f);
}

QString hexByte(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Material MaterialArchiver::loadMaterial(QXmlStreamReader* reader, bool* ok, QString* reason) {
    Material material;
    QString refusal;
    const auto refuse = [&](const QString& why) {
        if (refusal.isEmpty())
            refusal = why;
    };
    // The optional stress fields must be finite numbers when present: unlike the older
    // constants, a zero would silently stand for "no stress" and hide the mistake.
    const auto readStress = [&](QStringView name, QStringView text) {
        bool parsed = false;
        const float value = text.toFloat(&parsed);
        if (!parsed || !std::isfinite(value))
            refuse(QStringLiteral("%1 \"%2\" is not a finite number").arg(name, text));
        return value;
    };
    std::optional<bool> conductor;
    if (ok)
        *ok = false;
    if (!reader || reader->name() != QLatin1String("Material"))
        return Material();

    // The empty material is called "Empty"; a record must bring its own name to be accepted.
    material.setName(QString());
    const QXmlStreamAttributes attributes = reader->attributes();
    for (const QXmlStreamAttribute& attribute : attributes) {
        const QStringRef name = attribute.name();
        const QStringRef value = attribute.value();
        qCDebug(lcMaterialArchiver) << "attribute: " << name;
        if (name == QLatin1String("name")) {
            material.setName(value.toString());
        } else if (name == QLatin1String("material-id")) {
            bool parsed = false;
            const uint id = value.toUInt(&parsed, 10);
            // Cells hold ids of 16 bits: a larger one names no material a cell could hold.
            material.setId(parsed && id <= Automaton::largestMaterialId ? id : 0);
        } else if (name == QLatin1String("density")) {
            material.setDensity(readNumber(value));
        } else if (name == QLatin1String("poisson-ratio")) {
            material.setPoissonRatio(readNumber(value));
        } else if (name == QLatin1String("young-modulus")) {
            material.setYoungModulus(readNumber(value));
            if (material.getYoungModulus() < 0.f)
                refuse(QStringLiteral("young-modulus %1 is negative").arg(value));
        } else if (name == QLatin1String("residual-stress")) {
            material.setResidualStress(readStress(name, value));
        } else if (name == QLatin1String("stress-gradient")) {
            material.setStressGradient(readStress(name, value));
        } else if (name == QLatin1String("conductor")) {
            if (value == QLatin1String("true") || value == QLatin1String("false"))
                conductor = value == QLatin1String("true");
            else
                refuse(QStringLiteral("conductor \"%1\" is neither true nor false").arg(value));
        } else if (name == QLatin1String("sticking")) {
            // A probability or nothing: a particle must neither stick more than always nor less
            // than never. Refused, the material keeps to the steps' own value.
            bool parsed = false;
            const float p = value.toFloat(&parsed);
            if (parsed && p >= 0.f && p <= 1.f)
                material.setSticking(p);
            else
                qCWarning(lcMaterialArchiver).noquote()
                    << QStringLiteral("The sticking \"%1\" of material \"%2\" is no probability "
                                      "from 0 to 1 and is ignored.")
                           .arg(value.toString(),
                                attributes.value(QLatin1String("name")).toString());
        } else if (name == QLatin1String("color")) {
            // A colour that is no colour name reads as opaque black, as an invalid QColor would.
            const QColor color(value.toString());
            if (color.isValid())
                material.setColor(float(color.redF()), float(color.greenF()), float(color.blueF()),
                                  float(color.alphaF()));
            else
                material.setColor(0.f, 0.f, 0.f, 1.f);
        }
    }
    material.setConductor(conductor ? *conductor : Material::conductorByDefault(material.getId()));
    if (reason)
        *reason = refusal;
    if (ok)
        *ok = material.getId() != 0 && !material.getName().isEmpty() && refusal.isEmpty();
    return material;
}

bool MaterialArchiver::saveMaterial(QXmlStreamWriter* writer, const Material& material) {
    if (!writer)
        return false;
    writer->writeEmptyElement(QStringLiteral("Material"));
    writer->writeAttribute(QStringLiteral("version"), QStringLiteral("1"));
    writer->writeAttribute(QStringLiteral("name"), material.getName());
    writer->writeAttribute(QStringLiteral("material-id"), QString::number(material.getId()));
    writer->writeAttribute(QStringLiteral("density"), numberToText(material.getDensity()));
    writer->writeAttribute(QStringLiteral("poisson-ratio"),
                           numberToText(material.getPoissonRatio()));
    writer->writeAttribute(QStringLiteral("young-modulus"),
                           numberToText(material.getYoungModulus()));
    writer->writeAttribute(QStringLiteral("color"), colorToText(material));
    // The fields that came later are written only when they say something, so that a registry
    // that does not use them is written as before.
    if (material.getResidualStress() != 0.f)
        writer->writeAttribute(QStringLiteral("residual-stress"),
                               numberToText(material.getResidualStress()));
    if (material.getStressGradient() != 0.f)
        writer->writeAttribute(QStringLiteral("stress-gradient"),
                               numberToText(material.getStressGradient()));
    if (material.isConductor() != Material::conductorByDefault(material.getId()))
        writer->writeAttribute(QStringLiteral("conductor"), material.isConductor()
                                                                ? QStringLiteral("true")
                                                                : QStringLiteral("false"));
    // Only materials that have one: registries without it read as before.
    if (material.getSticking())
        writer->writeAttribute(QStringLiteral("sticking"), numberToText(*material.getSticking()));
    return !writer->hasError();
}

QString MaterialArchiver::colorToText(const Material& material) {
    return QLatin1Char('#') + hexByte(channel(material.getAlpha())) +
           hexByte(channel(material.getRed())) + hexByte(channel(material.getGreen())) +
           hexByte(channel(material.getBlue()));
}

QString MaterialArchiver::numberToText(float value) {
    return QString::number(double(value), 'g', 6);
}

} // namespace Model::Persistence
