#include "UI/BatchRun/parametercodec.h"

#include <QColor>
#include <QStringList>

#include <cmath>

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

} // namespace Ui
