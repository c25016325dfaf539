#pragma once

#include "Util/metatypes.h"

#include <QString>
#include <QVariant>

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
    // A value typed by a person (the runner's --set) as the kind `typeName` names. Unlike
    // decode(), text that is no value of that kind is refused rather than read as 0: false,
    // with what was expected in `expected`.
    static bool parse(const QString& typeName, const QString& text, QVariant& value,
                      QString& expected);
};

} // namespace Ui
