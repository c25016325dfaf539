#pragma once

#include "Util/vector3d.h"

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <vector>

// Mask rows and similar on/off lists travel as vectors of 0/1 bytes.
Q_DECLARE_METATYPE(std::vector<unsigned char>)
Q_DECLARE_METATYPE(Util::Vector3D)

namespace Ui {

// How a process parameter's value is written to a process list and read back: a type name
// and a text. Byte vectors ("vector") and vectors ("Util::Vector3D") have their own forms;
// the plain kinds use Qt's text forms; any other kind is written by its type name and comes
// back invalid.
class ParameterCodec {
public:
    using ByteVector = std::vector<unsigned char>;

    static QString typeName(const QVariant& value);
    static QString encode(const QVariant& value);
    static QVariant decode(const QString& typeName, const QString& data);
};

} // namespace Ui
