#pragma once

#include "Model/Materials/material.h"

class QXmlStreamReader;
class QXmlStreamWriter;

namespace Model::Persistence {

// Reads and writes one "Material" element, in the registry file and inside documents alike.
class MaterialArchiver {
public:
    // Reads the element the reader stands on. `ok` becomes true only for a "Material" element
    // with a non-zero id and a name; otherwise the empty material comes back. A record whose
    // values are out of range (a negative Young modulus, a stress that is no finite
    // number, a conductor flag that is neither "true" nor "false") is refused: `ok` stays false
    // and `reason` says which value.
    static Materials::Material loadMaterial(QXmlStreamReader* reader, bool* ok,
                                            QString* reason = nullptr);
    // Writes one empty "Material" element. False when there is no writer or it failed.
    static bool saveMaterial(QXmlStreamWriter* writer, const Materials::Material& material);

    // "#AARRGGBB", each channel the component times 255 truncated, upper-case hexadecimal.
    static QString colorToText(const Materials::Material& material);
    // Number format of the constants: 'g' with six significant digits.
    static QString numberToText(float value);
};

} // namespace Model::Persistence
