#pragma once

#include "Model/Export/savefileset.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Export {

// Exports the cell-boundary surfaces of a volume to where the user points:
// - a name ending in ".obj": one OBJ file with its material library;
// - a name ending in ".stl": one STL file per material beside it, "<name>_<material>.stl";
// - anything else (an existing folder or a name without suffix): that folder, created when
//   missing, with one "<material>.stl" per material.
class MeshExport {
public:
    enum class Format { Obj, StlBeside, StlFolder, Unknown };

    static Format formatOf(const QString& target);
    // What the user is told about a target of unknown format.
    static QString unknownFormat(const QString& target);
    // The STL files an export of these materials to `target` writes, in the same order.
    static QStringList stlFileNames(const QString& target,
                                    const std::vector<std::uint32_t>& materials);

    static ExportResult write(Automaton::TotalVolume& volume, const QString& target);
};

} // namespace Model::Export
