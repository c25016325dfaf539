#pragma once

#include "Model/Export/savefileset.h"

class QImage;

namespace Model::Export {

// Writes a picture to a file: the format follows the file's suffix (PNG when it has none),
// and the file is written beside its target and swapped in at the end, so a failed write
// leaves an older file whole.
class ImageExporter {
public:
    static ExportResult write(const QImage& image, const QString& fileName);
};

} // namespace Model::Export
