#include "Model/Export/objexporter.h"

#include "Model/Export/exportnames.h"
#include "Model/Materials/materialfactory.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>
#include <string>

namespace Model::Export {

namespace {

// Text gathered before each write.
constexpr std::size_t flushBytes = 1 << 20;
// Longest lines: a vertex of three shortest-form floats, a face of three 20-digit indices.
constexpr std::uint64_t maximumVertexLine = 2 + 3 * 16 + 1;
constexpr std::uint64_t maximumFaceLine = 1 + 3 * 21 + 1;
constexpr std::uint64_t maximumMaterialBytes = 512;

// Appends text and hands it to the file in large pieces.
class TextOut {
public:
    TextOut(SaveFileSet& set, Util::SaveFile* file) : set(set), file(file) {
        text.reserve(flushBytes);
    }

    TextOut& operator<<(const char* value) {
        text += value;
        return *this;
    }
    TextOut& operator<<(const QString& value) {
        text += value.toStdString();
        return *this;
    }
    TextOut& operator<<(float value) {
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text.append(digits, end);
        return *this;
    }
    TextOut& operator<<(std::uint64_t value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        text.append(digits, end);
        return *this;
    }
    bool lineDone() {
        text += '\n';
        return text.size() < flushBytes || flush();
    }
    bool flush() {
        const bool written = set.write(file, text.data(), qint64(text.size()));
        text.clear();
        return written;
    }

private:
    SaveFileSet& set;
    Util::SaveFile* file;
    std::string text;
};

bool writeLibrary(TextOut& out, const std::vector<MaterialSurface>& surfaces,
                  const std::map<std::uint32_t, QString>& tokens) {
    out << "# Cellvane material colours";
    out.lineDone();
    const auto registry = Materials::MaterialFactory::getInstance();
    for (const MaterialSurface& surface : surfaces) {
        const Materials::Material material = registry->getMaterial(surface.material);
        out.lineDone();
        out << "# " << ExportNames::displayName(surface.material);
        out.lineDone();
        out << "newmtl " << tokens.at(surface.material);
        out.lineDone();
        out << "Ka " << material.getRed() << " " << material.getGreen() << " "
            << material.getBlue();
        out.lineDone();
        out << "Kd " << material.getRed() << " " << material.getGreen() << " "
            << material.getBlue();
        out.lineDone();
        out << "d " << material.getAlpha();
        out.lineDone();
        out << "illum 1";
        out.lineDone();
    }
    return out.flush();
}

bool writeSurfaces(TextOut& out, const std::vector<MaterialSurface>& surfaces,
                   const std::map<std::uint32_t, QString>& tokens, const QString& libraryName) {
    out << "# Cellvane cell-boundary surfaces: one group and one material per material";
    out.lineDone();
    out << "# Coordinates in micrometres";
    out.lineDone();
    out << "mtllib " << libraryName;
    out.lineDone();
    // OBJ numbers vertices from 1 across the whole file.
    std::uint64_t firstVertex = 1;
    for (const MaterialSurface& surface : surfaces) {
        out << "g " << tokens.at(surface.material);
        out.lineDone();
        out << "usemtl " << tokens.at(surface.material);
        if (!out.lineDone())
            return false;
        const float* vertex = surface.vertices.data();
        for (std::size_t v = 0; v < surface.vertexCount(); ++v, vertex += 3) {
            out << "v " << vertex[0] << " " << vertex[1] << " " << vertex[2];
            if (!out.lineDone())
                return false;
        }
        for (std::size_t t = 0; t < surface.triangleCount(); ++t) {
            // No normals: readers would split the shared corners to give each its own, and
            // the winding already says which way each triangle faces.
            out << "f";
            for (int k = 0; k < 3; ++k)
                out << " " << firstVertex + surface.triangles[3 * t + std::size_t(k)];
            if (!out.lineDone())
                return false;
        }
        firstVertex += surface.vertexCount();
    }
    return out.flush();
}

} // namespace

QString ObjExporter::libraryFileName(const QString& objFileName) {
    const QFileInfo info(objFileName);
    // "mtllib" takes a list of names separated by spaces, so the library's name has none.
    QString name = info.completeBaseName();
    for (QChar& c : name)
        if (c.isSpace())
            c = QLatin1Char('_');
    return info.dir().filePath(name + QStringLiteral(".mtl"));
}

std::uint64_t ObjExporter::maximumBytes(const std::vector<MaterialSurface>& surfaces) {
    std::uint64_t bytes = 1024;
    for (const MaterialSurface& surface : surfaces)
        bytes += maximumMaterialBytes * 2 + maximumVertexLine * surface.vertexCount() +
                 maximumFaceLine * surface.triangleCount();
    return bytes;
}

ExportResult ObjExporter::write(const std::vector<MaterialSurface>& surfaces,
                                const QString& objFileName) {
    std::vector<std::uint32_t> materials;
    for (const MaterialSurface& surface : surfaces)
        materials.push_back(surface.material);
    const auto tokens = ExportNames::uniqueTokens(materials);
    const QString libraryName = libraryFileName(objFileName);

    SaveFileSet set;
    Util::SaveFile* obj = set.open(objFileName);
    Util::SaveFile* library = set.open(libraryName);
    if (obj && library) {
        TextOut objText(set, obj);
        TextOut libraryText(set, library);
        if (writeSurfaces(objText, surfaces, tokens, QFileInfo(libraryName).fileName()) &&
            writeLibrary(libraryText, surfaces, tokens) && set.commit())
            return {true, set.fileNames(), QString()};
    }
    return ExportResult::failure(set.error());
}

} // namespace Model::Export
