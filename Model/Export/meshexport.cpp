#include "Model/Export/meshexport.h"

#include "Model/Export/cellboundarysurface.h"
#include "Model/Export/exportnames.h"
#include "Model/Export/exportspace.h"
#include "Model/Export/objexporter.h"
#include "Model/Export/stlexporter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMeshExport, "Model/Export/meshexport", QtInfoMsg)

namespace Model::Export {

MeshExport::Format MeshExport::formatOf(const QString& target) {
    const QFileInfo info(target);
    if (info.isDir())
        return Format::StlFolder;
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("obj"))
        return Format::Obj;
    if (suffix == QLatin1String("stl"))
        return Format::StlBeside;
    if (suffix.isEmpty())
        return Format::StlFolder;
    return Format::Unknown;
}

QString MeshExport::unknownFormat(const QString& target) {
    return QStringLiteral("%1 is no mesh file: choose a name ending in .stl or .obj, or a "
                          "folder for one STL file per material.")
        .arg(QDir::toNativeSeparators(target));
}

QStringList MeshExport::stlFileNames(const QString& target,
                                     const std::vector<std::uint32_t>& materials) {
    const auto tokens = ExportNames::uniqueTokens(materials);
    const QFileInfo info(target);
    QStringList names;
    for (const std::uint32_t material : materials) {
        if (formatOf(target) == Format::StlBeside)
            names << info.dir().filePath(info.completeBaseName() + QLatin1Char('_') +
                                         tokens.at(material) + QStringLiteral(".stl"));
        else
            names << QDir(target).filePath(tokens.at(material) + QStringLiteral(".stl"));
    }
    return names;
}

ExportResult MeshExport::write(Automaton::TotalVolume& volume, const QString& target) {
    const Format format = formatOf(target);
    if (format == Format::Unknown)
        return ExportResult::failure(unknownFormat(target));

    QElapsedTimer timer;
    timer.start();
    std::vector<MaterialSurface> surfaces;
    QString reason;
    if (!CellBoundarySurface::build(volume, surfaces, &reason))
        return ExportResult::failure(reason);
    if (surfaces.empty())
        return ExportResult::failure(
            QStringLiteral("The cell volume holds no material, so it has no surface to export."));
    const qint64 built = timer.elapsed();

    ExportResult result;
    if (format == Format::Obj) {
        if (!ExportSpace::fitsOnDisk(target, ObjExporter::maximumBytes(surfaces), &reason))
            return ExportResult::failure(reason);
        result = ObjExporter::write(surfaces, target);
    } else {
        std::vector<std::uint32_t> materials;
        std::uint64_t bytes = 0;
        for (const MaterialSurface& surface : surfaces) {
            materials.push_back(surface.material);
            bytes += StlExporter::fileBytes(surface);
        }
        const QStringList files = stlFileNames(target, materials);
        if (!ExportSpace::fitsOnDisk(files.first(), bytes, &reason))
            return ExportResult::failure(reason);
        result = StlExporter::write(surfaces, files);
    }
    qCDebug(lcMeshExport) << "Time to build surfaces:" << built
                          << "ms, to write them:" << timer.elapsed() - built << "ms";
    return result;
}

} // namespace Model::Export
