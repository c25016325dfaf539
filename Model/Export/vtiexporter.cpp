#include "Model/Export/vtiexporter.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Export/exportnames.h"
#include "Model/Export/exportspace.h"
#include "Model/Metrology/scale.h"
#include "Model/Transport/fluxengine.h"

#include <QtEndian>

#include <charconv>
#include <set>
#include <vector>

namespace Model::Export {

using Automaton::CellArraysLock;
using Automaton::TotalVolume;

namespace {

// Cells gathered before each write: whole planes of constant z, about 4 MiB of ids.
constexpr std::uint64_t chunkBytes = 4u << 20;

QByteArray number(double value) {
    char digits[32];
    return QByteArray(digits,
                      int(std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
}

QByteArray number(float value) {
    char digits[32];
    return QByteArray(digits,
                      int(std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
}

std::set<std::uint32_t> materialsIn(Automaton::MaterialCells cells, std::uint64_t count) {
    std::set<std::uint32_t> materials;
    // Cells come in long runs of one material; only a change needs a look at the set.
    std::uint32_t last = 0;
    bool any = false;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t material = cells[std::ptrdiff_t(i)];
        if (any && material == last)
            continue;
        materials.insert(material);
        last = material;
        any = true;
    }
    return materials;
}

// "micrometre" as a string array holds it: its bytes as numbers, ended by a zero.
QByteArray unitBytes() {
    QByteArray bytes;
    for (const char byte : QByteArray("micrometre"))
        bytes += QByteArray::number(int(byte)) + ' ';
    return bytes + '0';
}

// The flux array's offset is known only once the ids are written: its digits are kept free.
constexpr int offsetDigits = 20;
const QByteArray fluxOffsetMark = "offset=\"" + QByteArray(offsetDigits, '0') + "\"";

QByteArray header(const TotalVolume& volume, const std::set<std::uint32_t>& materials,
                  bool compress, bool withFlux) {
    const QByteArray extent = "0 " + QByteArray::number(volume.getSizeX()) + " 0 " +
                              QByteArray::number(volume.getSizeY()) + " 0 " +
                              QByteArray::number(volume.getSizeZ());
    // Origin and spacing in micrometres; the field "LengthUnit" says so to whoever reads it.
    const double scale = Metrology::micrometresPerSceneUnit(volume);
    const Util::Vector3D corner = volume.getPosition();
    const double position[3] = {corner.x * scale, corner.y * scale, corner.z * scale};
    // Cell sizes are single precision: written as such, 0.1 reads 0.1.
    const Metrology::CellEdges edges = Metrology::CellEdges::of(volume);
    QByteArray ids, names;
    for (const std::uint32_t material : materials) {
        ids += QByteArray::number(material) + ' ';
        // String arrays in text form are the bytes of each name as numbers, each name ended
        // by a zero.
        for (const char byte : ExportNames::displayName(material).toUtf8())
            names += QByteArray::number(int(static_cast<unsigned char>(byte))) + ' ';
        names += "0 ";
    }
    const QByteArray tuples = QByteArray::number(qulonglong(materials.size()));

    QByteArray text;
    text += "<?xml version=\"1.0\"?>\n";
    text += "<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\" "
            "header_type=\"UInt64\"";
    if (compress)
        text += " compressor=\"vtkZLibDataCompressor\"";
    text += ">\n";
    text += "  <ImageData WholeExtent=\"" + extent + "\" Origin=\"" + number(position[0]) + ' ' +
            number(position[1]) + ' ' + number(position[2]) + "\" Spacing=\"" +
            number(float(edges.x)) + ' ' + number(float(edges.y)) + ' ' + number(float(edges.z)) +
            "\" Direction=\"1 0 0 0 1 0 0 0 1\">\n";
    text += "    <FieldData>\n";
    text += "      <Array type=\"UInt32\" Name=\"MaterialIds\" NumberOfTuples=\"" + tuples +
            "\" format=\"ascii\">\n        " + ids.trimmed() + "\n      </Array>\n";
    text += "      <Array type=\"String\" Name=\"MaterialNames\" NumberOfTuples=\"" + tuples +
            "\" format=\"ascii\">\n        " + names.trimmed() + "\n      </Array>\n";
    text += "      <Array type=\"String\" Name=\"LengthUnit\" NumberOfTuples=\"1\" "
            "format=\"ascii\">\n        " +
            unitBytes() + "\n      </Array>\n";
    text += "    </FieldData>\n";
    text += "    <Piece Extent=\"" + extent + "\">\n";
    text += "      <PointData>\n      </PointData>\n";
    text += "      <CellData Scalars=\"material\">\n";
    text += "        <DataArray type=\"UInt32\" Name=\"material\" format=\"appended\" "
            "offset=\"0\">\n        </DataArray>\n";
    if (withFlux)
        text += "        <DataArray type=\"Float32\" Name=\"flux\" format=\"appended\" " +
                fluxOffsetMark + ">\n        </DataArray>\n";
    text += "      </CellData>\n    </Piece>\n  </ImageData>\n";
    text += "  <AppendedData encoding=\"raw\">\n   _";
    return text;
}

const QByteArray footer = "\n  </AppendedData>\n</VTKFile>\n";

QByteArray littleEndian(std::uint64_t value) {
    char bytes[8];
    qToLittleEndian(quint64(value), bytes);
    return QByteArray(bytes, 8);
}

// The material ids in the order image data keeps its cells (x fastest, z slowest), a few
// planes of constant z at a time. Cells are stored z fastest, so each plane gathers one cell
// from every column; taking several planes per pass reads each column's cells in one run.
class IdPlanes {
public:
    IdPlanes(const TotalVolume& volume, Automaton::MaterialCells cells)
        : cells(cells), sizeX(volume.getSizeX()), sizeY(volume.getSizeY()),
          sizeZ(volume.getSizeZ()) {
        const std::uint64_t planeBytes = std::uint64_t(sizeX) * sizeY * 4;
        planesPerChunk = unsigned(
            std::max<std::uint64_t>(1, chunkBytes / std::max<std::uint64_t>(planeBytes, 1)));
        buffer.resize(std::size_t(std::uint64_t(sizeX) * sizeY * std::min(planesPerChunk, sizeZ)));
    }

    std::uint64_t bufferBytes() const { return buffer.size() * 4; }

    // The next planes; empty after the last.
    QByteArray next() {
        if (z >= sizeZ)
            return QByteArray();
        const unsigned planes = std::min(planesPerChunk, sizeZ - z);
        const std::size_t plane = std::size_t(sizeX) * sizeY;
        // Sixteen columns side by side fill whole cache lines of each output row at once.
        constexpr unsigned tile = 16;
        for (unsigned x0 = 0; x0 < sizeX; x0 += tile) {
            const unsigned x1 = std::min(sizeX, x0 + tile);
            for (unsigned y = 0; y < sizeY; ++y) {
                quint32* row = buffer.data() + std::size_t(y) * sizeX;
                for (unsigned x = x0; x < x1; ++x) {
                    const Automaton::MaterialCells column =
                        cells + std::ptrdiff_t(Automaton::cellIndex(x, y, z, sizeY, sizeZ));
                    for (unsigned k = 0; k < planes; ++k)
                        row[k * plane + x] = qToLittleEndian(quint32(column[k]));
                }
            }
        }
        z += planes;
        return QByteArray::fromRawData(reinterpret_cast<const char*>(buffer.data()),
                                       int(plane * planes * 4));
    }

private:
    Automaton::MaterialCells cells;
    unsigned sizeX, sizeY, sizeZ;
    unsigned planesPerChunk = 1;
    unsigned z = 0;
    std::vector<quint32> buffer;
};

// The flux of each cell in image data order, 0 off the surface, a few planes at a time.
class FluxPlanes {
public:
    FluxPlanes(const TotalVolume& volume, const Transport::SurfaceFlux& flux)
        : flux(flux), sizeX(volume.getSizeX()), sizeY(volume.getSizeY()), sizeZ(volume.getSizeZ()),
          cursor(std::size_t(sizeX) * sizeY) {
        const std::uint64_t planeBytes = std::uint64_t(sizeX) * sizeY * 4;
        planesPerChunk = unsigned(
            std::max<std::uint64_t>(1, chunkBytes / std::max<std::uint64_t>(planeBytes, 1)));
        buffer.resize(std::size_t(std::uint64_t(sizeX) * sizeY * std::min(planesPerChunk, sizeZ)));
        for (unsigned x = 0; x < sizeX; ++x)
            for (unsigned y = 0; y < sizeY; ++y)
                cursor[std::size_t(x) * sizeY + y] = flux.columnFirst(x, y);
    }

    QByteArray next() {
        if (z >= sizeZ)
            return QByteArray();
        const unsigned planes = std::min(planesPerChunk, sizeZ - z);
        const std::size_t plane = std::size_t(sizeX) * sizeY;
        std::fill(buffer.begin(), buffer.begin() + std::ptrdiff_t(plane * planes), 0.0f);
        for (unsigned x = 0; x < sizeX; ++x)
            for (unsigned y = 0; y < sizeY; ++y) {
                std::size_t& k = cursor[std::size_t(x) * sizeY + y];
                for (const std::size_t end = flux.columnEnd(x, y);
                     k < end && flux.zOf(k) < z + planes; ++k)
                    buffer[(flux.zOf(k) - z) * plane + std::size_t(y) * sizeX + x] =
                        qToLittleEndian(flux.totalFlux(k));
            }
        z += planes;
        return QByteArray::fromRawData(reinterpret_cast<const char*>(buffer.data()),
                                       int(plane * planes * 4));
    }

private:
    const Transport::SurfaceFlux& flux;
    unsigned sizeX, sizeY, sizeZ;
    unsigned planesPerChunk = 1;
    unsigned z = 0;
    std::vector<std::size_t> cursor;
    std::vector<float> buffer;
};

template <class Planes>
bool writeRaw(SaveFileSet& set, Util::SaveFile* file, Planes& planes, std::uint64_t bytes) {
    if (!set.write(file, littleEndian(bytes)))
        return false;
    for (QByteArray chunk = planes.next(); !chunk.isEmpty(); chunk = planes.next())
        if (!set.write(file, chunk))
            return false;
    return true;
}

// Image data's compressed layout: the block count, the block size, the size of a shorter
// last block (0 when it is full), the compressed size of every block, then the blocks as
// zlib streams.
template <class Planes>
bool writeCompressed(SaveFileSet& set, Util::SaveFile* file, Planes& planes, std::uint64_t bytes) {
    const std::uint64_t blockBytes = VtiExporter::compressionBlockBytes;
    const std::uint64_t blocks = (bytes + blockBytes - 1) / blockBytes;
    const qint64 headerAt = file->pos();
    std::vector<std::uint64_t> compressedSizes;
    compressedSizes.reserve(blocks);
    // Sizes are known only once the blocks are written; their places are kept free until then.
    if (!set.write(file, QByteArray(int((3 + blocks) * 8), '\0')))
        return false;

    QByteArray pending;
    const auto emitBlock = [&](const char* data, int size) {
        // zlib's own stream, without the length Qt puts in front of it.
        const QByteArray compressed = qCompress(reinterpret_cast<const uchar*>(data), size).mid(4);
        compressedSizes.push_back(std::uint64_t(compressed.size()));
        return set.write(file, compressed);
    };
    for (QByteArray chunk = planes.next(); !chunk.isEmpty(); chunk = planes.next()) {
        pending.append(chunk);
        int used = 0;
        while (pending.size() - used >= int(blockBytes)) {
            if (!emitBlock(pending.constData() + used, int(blockBytes)))
                return false;
            used += int(blockBytes);
        }
        pending.remove(0, used);
    }
    if (!pending.isEmpty() && !emitBlock(pending.constData(), pending.size()))
        return false;

    QByteArray sizes =
        littleEndian(blocks) + littleEndian(blockBytes) + littleEndian(bytes % blockBytes);
    for (const std::uint64_t size : compressedSizes)
        sizes += littleEndian(size);
    return set.overwrite(file, headerAt, sizes);
}

} // namespace

ExportResult VtiExporter::write(TotalVolume& volume, const QString& fileName, bool compress,
                                const Transport::SurfaceFlux* flux) {
    const CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
    const std::uint64_t cellCount = volume.getCellCount();
    const QByteArray head =
        header(volume, materialsIn(locked.materials(), cellCount), compress, flux != nullptr);
    const std::uint64_t idBytes = cellCount * 4;

    QString reason;
    IdPlanes planes(volume, locked.materials());
    // A compressed file is smaller by an amount only known once written; a full disk then
    // shows as a failed write, which leaves nothing behind either.
    if (!ExportSpace::fitsInMemory(planes.bufferBytes() * (compress ? 3 : 1), &reason) ||
        (!compress && !ExportSpace::fitsOnDisk(fileName,
                                               std::uint64_t(head.size()) +
                                                   (flux ? 2 : 1) * (8 + idBytes) + footer.size(),
                                               &reason)))
        return ExportResult::failure(reason);

    SaveFileSet set;
    Util::SaveFile* file = set.open(fileName);
    if (!file || !set.write(file, head))
        return ExportResult::failure(set.error());
    const qint64 appendedStart = file->pos();
    if (!(compress ? writeCompressed(set, file, planes, idBytes)
                   : writeRaw(set, file, planes, idBytes)))
        return ExportResult::failure(set.error());
    if (flux) {
        const QByteArray offset =
            QByteArray::number(file->pos() - appendedStart).rightJustified(offsetDigits, '0');
        FluxPlanes values(volume, *flux);
        if (!(compress ? writeCompressed(set, file, values, idBytes)
                       : writeRaw(set, file, values, idBytes)) ||
            !set.overwrite(file, head.indexOf(fluxOffsetMark) + 8, offset))
            return ExportResult::failure(set.error());
    }
    if (set.write(file, footer) && set.commit())
        return {true, set.fileNames(), QString()};
    return ExportResult::failure(set.error());
}

} // namespace Model::Export
