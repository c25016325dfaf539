#include "Model/Export/stlexporter.h"

#include "Model/Export/exportnames.h"
#include "Model/Geometry/quadface.h"

#include <QDir>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace Model::Export {

namespace {

constexpr std::size_t headerBytes = 80;
constexpr std::size_t triangleBytes = 50;
// Triangles gathered before each write.
constexpr std::size_t trianglesPerWrite = 1 << 14;

char* putFloat(char* out, float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, out);
    return out + 4;
}

bool writeSurface(SaveFileSet& set, Util::SaveFile* file, const MaterialSurface& surface) {
    // Readers take a header that begins with "solid" for a text file. STL has no unit field;
    // the header is the only place a reader can learn that the numbers are micrometres.
    QByteArray header = QStringLiteral("Cellvane cell-boundary surface in um: %1")
                            .arg(ExportNames::displayName(surface.material))
                            .toUtf8()
                            .left(int(headerBytes));
    header.append(int(headerBytes) - header.size(), '\0');
    char count[4];
    qToLittleEndian(quint32(surface.triangleCount()), count);
    if (!set.write(file, header) || !set.write(file, count, 4))
        return false;

    std::vector<char> buffer(trianglesPerWrite * triangleBytes);
    const float* vertices = surface.vertices.data();
    for (std::size_t first = 0; first < surface.triangleCount(); first += trianglesPerWrite) {
        const std::size_t last = std::min(surface.triangleCount(), first + trianglesPerWrite);
        char* out = buffer.data();
        for (std::size_t t = first; t < last; ++t) {
            const float* normal = Geometry::sideNormals[surface.sides[t]];
            for (int a = 0; a < 3; ++a)
                out = putFloat(out, normal[a]);
            for (int k = 0; k < 3; ++k) {
                const float* vertex = vertices + 3 * std::size_t(surface.triangles[3 * t + k]);
                for (int a = 0; a < 3; ++a)
                    out = putFloat(out, vertex[a]);
            }
            *out++ = 0;
            *out++ = 0;
        }
        if (!set.write(file, buffer.data(), qint64(out - buffer.data())))
            return false;
    }
    return true;
}

} // namespace

std::uint64_t StlExporter::fileBytes(const MaterialSurface& surface) {
    return headerBytes + 4 + triangleBytes * std::uint64_t(surface.triangleCount());
}

ExportResult StlExporter::write(const std::vector<MaterialSurface>& surfaces,
                                const QStringList& fileNames) {
    SaveFileSet set;
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        const QString& fileName = fileNames.at(int(i));
        if (surfaces[i].triangleCount() > std::numeric_limits<quint32>::max())
            return ExportResult::failure(
                QStringLiteral("The surface of %1 has too many triangles for an STL file (%2).")
                    .arg(ExportNames::displayName(surfaces[i].material),
                         QDir::toNativeSeparators(fileName)));
        Util::SaveFile* file = set.open(fileName);
        if (!file || !writeSurface(set, file, surfaces[i]))
            return ExportResult::failure(set.error());
    }
    if (!set.commit())
        return ExportResult::failure(set.error());
    return {true, set.fileNames(), QString()};
}

} // namespace Model::Export
