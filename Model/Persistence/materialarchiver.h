#pragma once

#include "Model/Materials/material.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace Model::Persistence {

// Reads and writes one "Material" element, in the registry file and inside documents alike.
class MaterialArchiver {
public:
    // Reads the element the reader stands on. `ok` becomes true only for a "Material" element
    // with a non-zero id and a name; otherwise the empty material comes back.
    static Materials::Material loadMaterial(QXmlStreamReader* reader, bool* ok);
    // Writes one empty "Material" element. False when there is no writer or it failed.
    static bool saveMaterial(QXmlStreamWriter* writer, const Materials::Material& material);

    // "#AARRGGBB", each channel the component times 255 truncated, upper-case hexadecimal.
    static QString colorToText(const Materials::Material& material);
    // Number format of the constants: 'g' with six significant digits.
    static QString numberToText(float value);
};

} // namespace Model::Persistence
