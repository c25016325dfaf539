#pragma once

#include "Model/Export/cellboundarysurface.h"
#include "Model/Export/savefileset.h"

#include <QStringList>

#include <cstdint>
#include <vector>

namespace Model::Export {

// Binary STL: one file per material surface, each a closed triangle surface with outward
// normals, as meshing and 3D-printing tools read them.
class StlExporter {
public:
    static std::uint64_t fileBytes(const MaterialSurface& surface);

    // Writes surface i to file i; all files or none.
    static ExportResult write(const std::vector<MaterialSurface>& surfaces,
                              const QStringList& fileNames);
};

} // namespace Model::Export
