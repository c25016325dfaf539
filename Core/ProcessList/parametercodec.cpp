#include "Core/ProcessList/parametercodec.h"

#include <QColor>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Ui {

namespace {

const QString vectorName = QStringLiteral("vector");
const QString vector3DName = QStringLiteral("Util::Vector3D");

// Parameters are sizes, depths and angles: text that is no number, or names infinity or
// not-a-number, reads as 0 rather than reaching a simulation.
double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

double readDouble(const QString& text) {
    return finiteOrZero(text.toDouble());
}

} // namespace

QString ParameterCodec::typeName(const QVariant& value) {
    if (value.canConvert<ByteVector>())
        return vectorName;
    if (value.canConvert<Util::Vector3D>())
        return vector3DName;
    return QString::fromLatin1(value.typeName());
}

QString ParameterCodec::encode(const QVariant& value) {
    if (value.canConvert<ByteVector>()) {
        const ByteVector bytes = value.value<ByteVector>();
        QString text(int(bytes.size()), QLatin1Char('0'));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != 0)
                text[int(i)] = QLatin1Char('1');
        }
        return text;
    }
    if (value.canConvert<Util::Vector3D>()) {
        const Util::Vector3D vector = value.value<Util::Vector3D>();
        return QString::number(vector.x, 'g', 10) + QLatin1Char(';') +
               QString::number(vector.y, 'g', 10) + QLatin1Char(';') +
               QString::number(vector.z, 'g', 10);
    }
    if (value.userType() == QMetaType::QColor)
        return value.value<QColor>().name();
    return value.toString();
}

QVariant ParameterCodec::decode(const QString& typeName, const QString& data) {
    if (typeName == vectorName) {
        ByteVector bytes(std::size_t(data.size()), 0);
        for (int i = 0; i < data.size(); ++i)
            bytes[std::size_t(i)] = data[i] == QLatin1Char('1') ? 1 : 0;
        return QVariant::fromValue(bytes);
    }
    if (typeName == vector3DName) {
        const QStringList parts = data.split(QLatin1Char(';'));
        Util::Vector3D vector;
        for (int i = 0; i < 3 && i < parts.size(); ++i)
            vector[i] = readDouble(parts[i]);
        return QVariant::fromValue(vector);
    }
    if (typeName == QLatin1String("bool"))
        return QVariant(data == QLatin1String("true"));
    if (typeName == QLatin1String("float"))
        return QVariant(float(finiteOrZero(double(data.toFloat()))));
    if (typeName == QLatin1String("double"))
        return QVariant(readDouble(data));
    if (typeName == QLatin1String("int"))
        return QVariant(data.toInt());
    if (typeName == QLatin1String("uint"))
        return QVariant(data.toUInt());
    if (typeName == QLatin1String("QString"))
        return QVariant(data);
    if (typeName == QLatin1String("QColor"))
        return QVariant(QColor(data));
    return QVariant();
}

bool ParameterCodec::parse(const QString& typeName, const QString& text, QVariant& value,
                           QString& expected) {
    const QString trimmed = text.trimmed();
    const auto finite = [](const QString& number, double largest) {
        bool read = false;
        const double value = number.trimmed().toDouble(&read);
        return read && std::isfinite(value) && std::fabs(value) <= largest;
    };
    bool ok = false;
    if (typeName == QLatin1String("float") || typeName == QLatin1String("double")) {
        expected = QStringLiteral("a number");
        ok = finite(trimmed, typeName == QLatin1String("float")
                                 ? double(std::numeric_limits<float>::max())
                                 : std::numeric_limits<double>::max());
    } else if (typeName == QLatin1String("int")) {
        expected = QStringLiteral("a whole number");
        trimmed.toInt(&ok);
    } else if (typeName == QLatin1String("uint")) {
        expected = QStringLiteral("a whole number of at least 0");
        ok = !trimmed.startsWith(QLatin1Char('-'));
        if (ok)
            trimmed.toUInt(&ok);
    } else if (typeName == QLatin1String("bool")) {
        expected = QStringLiteral("true or false");
        ok = trimmed == QLatin1String("true") || trimmed == QLatin1String("false");
    } else if (typeName == vector3DName) {
        expected = QStringLiteral("three numbers x;y;z");
        const QStringList parts = trimmed.split(QLatin1Char(';'));
        ok = parts.size() == 3 && std::all_of(parts.begin(), parts.end(), [&](const QString& part) {
                 return finite(part, std::numeric_limits<double>::max());
             });
    } else if (typeName == vectorName) {
        expected = QStringLiteral("a row of 0 and 1");
        ok = std::all_of(trimmed.begin(), trimmed.end(),
                         [](QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('1'); });
    } else if (typeName == QLatin1String("QColor")) {
        expected = QStringLiteral("a colour such as #ff8000");
        ok = QColor(trimmed).isValid();
    } else if (typeName == QLatin1String("QString")) {
        value = QVariant(text);
        return true;
    } else {
        expected = QStringLiteral("a value of a kind process lists hold");
    }
    if (ok)
        value = decode(typeName, trimmed);
    return ok;
}

} // namespace Ui
