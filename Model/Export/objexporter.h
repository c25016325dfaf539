#pragma once

#include "Model/Export/cellboundarysurface.h"
#include "Model/Export/savefileset.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Model::Export {

// Wavefront OBJ: all material surfaces in one file, one group and one material each, with a
// material library (".mtl" beside it) that carries the registry's colours. Each group has its
// own vertices, so every group is a closed surface of its own, as in the STL files.
class ObjExporter {
public:
    // The material library belonging to an OBJ file: same folder and name (spaces replaced by
    // underscores), suffix ".mtl".
    static QString libraryFileName(const QString& objFileName);
    // The most the two files can take on disk.
    static std::uint64_t maximumBytes(const std::vector<MaterialSurface>& surfaces);

    // Writes the OBJ file and its library; both or neither.
    static ExportResult write(const std::vector<MaterialSurface>& surfaces,
                              const QString& objFileName);
};

} // namespace Model::Export
