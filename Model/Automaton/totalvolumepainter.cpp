#include "Model/Automaton/totalvolumepainter.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/columnranges.h"
#include "Model/Automaton/cubicfacebuilder.h"
#include "Model/Automaton/quaddrawing.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"

#include <QLoggingCategory>
#include <qopengl.h>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace Model::Automaton {

Q_LOGGING_CATEGORY(lcPainter, "Model/Automaton/totalvolumepainter", QtInfoMsg)

using Geometry::CellFace;
using Geometry::QuadFace;

namespace {

constexpr std::uint32_t siliconId = 1;

// Holds the volume's current cell array for the length of a build.
class CellsLocked {
public:
    explicit CellsLocked(TotalVolume& volume)
        : volume(volume), locked(volume, CellArraysLock::Arrays::Current) {}
    CellsLocked(const CellsLocked&) = delete;
    CellsLocked& operator=(const CellsLocked&) = delete;

    CellGrid grid(const float cellSize[3]) const {
        CellGrid result;
        result.cells = locked.materials();
        result.sizeX = int(volume.getSizeX());
        result.sizeY = int(volume.getSizeY());
        result.sizeZ = int(volume.getSizeZ());
        std::copy(cellSize, cellSize + 3, result.cellSize);
        return result;
    }

private:
    TotalVolume& volume;
    CellArraysLock locked;
};

// Appends per-task lists in task order. The lists keep their capacity for the next build; a
// list that must grow takes some room to spare, so that undoing and redoing a step, which
// moves the count of faces a little either way, does not fetch fresh memory each time.
template <class Face> void splice(std::vector<std::vector<Face>>& parts, std::vector<Face>& out) {
    std::size_t total = 0;
    for (const auto& part : parts)
        total += part.size();
    out.clear();
    if (total > out.capacity())
        out.reserve(total + total / 8);
    for (auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
        part.clear();
    }
}

void rethrowFirst(const std::vector<std::exception_ptr>& failures) {
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

} // namespace

TotalVolumePainter::TotalVolumePainter(TotalVolume& volume)
    : volume(volume),
      selectionShown(!volume.isSelected()), cellSize{volume.getCellSizeX(), volume.getCellSizeY(),
                                                     volume.getCellSizeZ()},
      atomicRenderer(volume, cutPlanes) {
    cut.max = {int(volume.getSizeX()), int(volume.getSizeY()), int(volume.getSizeZ())};
}

TotalVolumePainter::~TotalVolumePainter() = default;

int TotalVolumePainter::getBuildThreads() const {
    if (buildThreads > 0)
        return buildThreads;
    // Starting a pool's threads costs more than building a small volume's faces; such a volume
    // is built on the calling thread.
    constexpr CellIndex cellsPerTask = CellIndex(1) << 15;
    const CellIndex worth = volume.getCellCount() / cellsPerTask;
    return int(std::clamp<CellIndex>(worth, 1, CellIndex(defaultBuildThreads())));
}

CutWindow TotalVolumePainter::getCutWindow() const {
    std::lock_guard<std::mutex> guard(cutLock);
    return cut;
}

void TotalVolumePainter::getCutLimits(Corner& lower, Corner& upper) const {
    std::lock_guard<std::mutex> guard(cutLock);
    lower = cut.min;
    upper = cut.max;
}

void TotalVolumePainter::setCutLimits(const Corner& lower, const Corner& upper) {
    std::lock_guard<std::mutex> guard(cutLock);
    cut.min = lower;
    cut.max = upper;
    cutPlanes.clear();
    cutPlanes.add(-1.f, 0.f, 0.f, float(lower[0]));
    cutPlanes.add(1.f, 0.f, 0.f, -float(upper[0]));
    cutPlanes.add(0.f, -1.f, 0.f, float(lower[1]));
    cutPlanes.add(0.f, 1.f, 0.f, -float(upper[1]));
    cutPlanes.add(0.f, 0.f, -1.f, float(lower[2]));
    cutPlanes.add(0.f, 0.f, 1.f, -float(upper[2]));
}

void TotalVolumePainter::setAlgorithm(int value) {
    if (value < DirectCubic || value > Octree || value == algorithm)
        return;
    const std::lock_guard<std::mutex> building(geometryLock);
    algorithm = value;
    palette = MaterialPalette::fromRegistry();
    const CutWindow window =
        getCutWindow().clampedTo(volume.getSizeX(), volume.getSizeY(), volume.getSizeZ());
    const CellsLocked locked(volume);
    try {
        buildDirectCubicFaces(locked.grid(cellSize), window);
    } catch (const std::exception& error) {
        dropGeometry();
        qCWarning(lcPainter) << "Surface dropped, it does not fit in memory:" << error.what();
    }
    // Every face shows its plain colour again, including an octree kept from earlier.
    octree.updateColors(palette, false);
    selectionShown = false;
}

void TotalVolumePainter::rebuild(Util::ProgressReporter& progress) {
    const std::lock_guard<std::mutex> building(geometryLock);
    palette = MaterialPalette::fromRegistry();
    const CutWindow window =
        getCutWindow().clampedTo(volume.getSizeX(), volume.getSizeY(), volume.getSizeZ());
    const bool surface = algorithm != DirectCubic;
    progress.start(1 + (surface ? 1 : 0) + (renderEmptyVoxelOutlines ? 1 : 0),
                   QStringLiteral("Building the surface"));
    {
        const CellsLocked locked(volume);
        const CellGrid grid = locked.grid(cellSize);
        try {
            buildDirectCubicFaces(grid, window);
            progress.advance();
            progress.stopIfCancelled();
            // Only the chosen algorithm's surface is kept; another one would be out of date.
            if (algorithm == Octree)
                octree.build(grid, window, palette);
            else
                octree.clear();
            if (algorithm == MarchingCubes)
                marchingCubes.build(grid, window, getBuildThreads());
            else
                marchingCubes.clear();
            if (surface) {
                progress.advance();
                progress.stopIfCancelled();
            }
            if (renderEmptyVoxelOutlines) {
                buildEmptyVoxelFaces(grid, window);
                progress.advance();
            } else {
                std::vector<QuadFace>().swap(emptyVoxelFaces);
            }
        } catch (const std::exception& error) {
            dropGeometry();
            qCWarning(lcPainter) << "Surface dropped, it does not fit in memory:" << error.what();
        }
    }
    // The faces now carry plain material colours; the next draw highlights them if needed.
    selectionShown = false;
    atomicRenderer.setBuildThreads(getBuildThreads());
    atomicRenderer.buildUnitCells();
    atomicRenderer.buildAtoms();
}

void TotalVolumePainter::dropGeometry() {
    std::vector<CellFace>().swap(opaqueFaces);
    std::vector<CellFace>().swap(transparentFaces);
    std::vector<QuadFace>().swap(emptyVoxelFaces);
    std::vector<std::vector<CellFace>>().swap(opaqueParts);
    std::vector<std::vector<CellFace>>().swap(transparentParts);
    octree.clear();
    marchingCubes.clear();
}

void TotalVolumePainter::buildDirectCubicFaces(const CellGrid& grid, const CutWindow& window) {
    opaqueFaces.clear();
    transparentFaces.clear();
    const CubicFaceBuilder builder(grid, window, palette);
    const int threads = getBuildThreads();
    const std::vector<ColumnRange> ranges =
        splitColumns(window.min[0], window.max[0], window.max[0], threads);
    if (ranges.empty()) {
        builder.buildFaces(window.min[0], window.max[0], opaqueFaces, transparentFaces);
        return;
    }
    opaqueParts.resize(ranges.size());
    transparentParts.resize(ranges.size());
    std::vector<std::exception_ptr> failures(ranges.size());
    runOnOwnPool(int(ranges.size()), threads, [&](int task) {
        const std::size_t i = std::size_t(task);
        try {
            // The lists grow as they fill: faces are small, and counting them first would
            // read every cell twice.
            builder.buildFaces(ranges[i].begin, ranges[i].end, opaqueParts[i], transparentParts[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    });
    rethrowFirst(failures);
    splice(opaqueParts, opaqueFaces);
    splice(transparentParts, transparentFaces);
}

void TotalVolumePainter::buildEmptyVoxelFaces(const CellGrid& grid, const CutWindow& window) {
    std::vector<QuadFace>().swap(emptyVoxelFaces);
    const CubicFaceBuilder builder(grid, window, palette);
    // Six faces per empty cell add up quickly; refuse before allocating rather than after.
    const std::uint64_t bytes = builder.countEmptyCells() * 6 * sizeof(QuadFace);
    if (bytes > VolumeBudget::availableBytes() / 2) {
        qCWarning(lcPainter) << "Empty-cell outlines skipped: they would need" << bytes << "bytes";
        return;
    }
    const int threads = getBuildThreads();
    std::vector<ColumnRange> ranges =
        splitColumns(window.min[0], window.max[0], window.max[0], threads);
    if (ranges.empty())
        ranges.push_back({window.min[0], window.max[0]});
    std::vector<std::vector<QuadFace>> parts(ranges.size());
    std::vector<std::exception_ptr> failures(ranges.size());
    runOnOwnPool(int(ranges.size()), threads, [&](int task) {
        const std::size_t i = std::size_t(task);
        try {
            builder.buildEmptyCellFaces(ranges[i].begin, ranges[i].end, parts[i]);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    });
    rethrowFirst(failures);
    splice(parts, emptyVoxelFaces);
}

QuadFace TotalVolumePainter::quadOf(const CellFace& face) const {
    const CellIndex column = CellIndex(volume.getSizeZ());
    const CellIndex slice = CellIndex(volume.getSizeY()) * column;
    const CellIndex index = CellIndex(face.cell);
    const int cell[3] = {int(index / slice), int(index % slice / column), int(index % column)};
    QuadFace quad;
    Geometry::setSideCorners(quad, Geometry::Side(face.side), cell, 1, cellSize);
    const Geometry::Rgba& color = palette.color(face.material);
    quad.fillColor = selectionShown ? MaterialPalette::highlight(color) : color;
    quad.edgeColor = quad.fillColor;
    quad.cell = face.cell;
    quad.material = int(face.material);
    return quad;
}

void TotalVolumePainter::drawCellFaces(const std::vector<CellFace>& faces,
                                       int skippedMaterial) const {
    glBegin(GL_QUADS);
    for (const CellFace& face : faces) {
        if (int(face.material) == skippedMaterial)
            continue;
        const QuadFace quad = quadOf(face);
        glNormal3fv(quad.normal);
        glColor4fv(quad.fillColor.data());
        for (const auto& vertex : quad.vertices)
            glVertex3fv(vertex);
    }
    glEnd();
}

void TotalVolumePainter::updateMaterialColors() {
    const std::lock_guard<std::mutex> building(geometryLock);
    palette = MaterialPalette::fromRegistry();
    const bool selected = volume.isSelected();
    octree.updateColors(palette, selected);
    selectionShown = selected;
}

void TotalVolumePainter::draw(bool renderObjects, bool renderEdges) {
    if (hidden)
        return;
    const std::unique_lock<std::mutex> built(geometryLock, std::try_to_lock);
    if (!built.owns_lock())
        return;
    const bool selected = volume.isSelected();
    if (selected != selectionShown) {
        selectionShown = selected;
        octree.updateColors(palette, selected);
    }
    if (!renderObjects)
        return;

    Util::Vector3D position = volume.getPosition();
    if (volume.isMoving())
        position += volume.getPreviewOffset();
    glPushMatrix();
    glTranslated(position.x, position.y, position.z);

    switch (algorithm) {
    case MarchingCubes:
        marchingCubes.draw(palette, selected);
        break;
    case Octree:
        octree.draw(renderEdges, true);
        break;
    default: {
        atomicRenderer.drawOpaque();
        // Shown atoms stand in for the cells of silicon, whose faces would hide them.
        const int standIn = atomicRenderer.showsAtomsOrBonds() ? int(siliconId) : -1;
        drawCellFaces(opaqueFaces, standIn);
        if (renderEdges) {
            // A cell face's edges are drawn in its fill colour.
            QuadDrawing::beginOutlines();
            drawCellFaces(opaqueFaces, standIn);
            drawCellFaces(transparentFaces);
            if (renderEmptyVoxelOutlines)
                QuadDrawing::drawEdges(emptyVoxelFaces);
            QuadDrawing::endOutlines();
        }
        break;
    }
    }

    // See-through geometry last, blended over what is already drawn and not hiding it.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    atomicRenderer.drawTransparent();
    if (algorithm == DirectCubic)
        drawCellFaces(transparentFaces);
    else if (algorithm == Octree)
        octree.draw(renderEdges, false);
    drawMasks();
    glPopAttrib();

    glPopMatrix();
}

void TotalVolumePainter::drawMasks() {
    int width = 0;
    int height = 0;
    volume.getBottomMaskSize(width, height);
    drawMask(volume.getBottomMask(), width, height, -5.f * cellSize[2]);
    volume.getTopMaskSize(width, height);
    drawMask(volume.getTopMask(), width, height, float(volume.getSizeZ() + 5) * cellSize[2]);
}

void TotalVolumePainter::drawMask(const std::vector<bool>& bits, int width, int height, float z) {
    const int columns = std::min(width, int(volume.getSizeX()));
    const int rows = std::min(height, int(volume.getSizeY()));
    if (columns <= 0 || rows <= 0)
        return;
    glDisable(GL_CULL_FACE);
    glColor4f(0.2f, 0.8f, 0.2f, 0.3f);
    glBegin(GL_QUADS);
    for (int i = 0; i < columns; ++i) {
        for (int j = 0; j < rows; ++j) {
            const std::size_t bit = std::size_t(height) * std::size_t(i) + std::size_t(j);
            if (bit >= bits.size() || !bits[bit])
                continue;
            const float x0 = float(i) * cellSize[0];
            const float x1 = float(i + 1) * cellSize[0];
            const float y0 = float(j) * cellSize[1];
            const float y1 = float(j + 1) * cellSize[1];
            glVertex3f(x0, y0, z);
            glVertex3f(x1, y0, z);
            glVertex3f(x1, y1, z);
            glVertex3f(x0, y1, z);
        }
    }
    glEnd();
    glEnable(GL_CULL_FACE);
}

void TotalVolumePainter::drawForPicking() {
    const Util::Vector3D p = volume.getPosition();
    const double x1 = volume.getSizeX() * double(volume.getCellSizeX());
    const double y1 = volume.getSizeY() * double(volume.getCellSizeY());
    const double z1 = volume.getSizeZ() * double(volume.getCellSizeZ());
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    glBegin(GL_QUADS);
    // bottom, top, front, back, left, right
    glVertex3d(0, 0, 0);
    glVertex3d(0, y1, 0);
    glVertex3d(x1, y1, 0);
    glVertex3d(x1, 0, 0);
    glVertex3d(0, 0, z1);
    glVertex3d(x1, 0, z1);
    glVertex3d(x1, y1, z1);
    glVertex3d(0, y1, z1);
    glVertex3d(0, 0, 0);
    glVertex3d(x1, 0, 0);
    glVertex3d(x1, 0, z1);
    glVertex3d(0, 0, z1);
    glVertex3d(0, y1, 0);
    glVertex3d(0, y1, z1);
    glVertex3d(x1, y1, z1);
    glVertex3d(x1, y1, 0);
    glVertex3d(0, 0, 0);
    glVertex3d(0, 0, z1);
    glVertex3d(0, y1, z1);
    glVertex3d(0, y1, 0);
    glVertex3d(x1, 0, 0);
    glVertex3d(x1, y1, 0);
    glVertex3d(x1, y1, z1);
    glVertex3d(x1, 0, z1);
    glEnd();
    glPopMatrix();
}

} // namespace Model::Automaton
