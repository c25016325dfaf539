#pragma once

#include "Model/Automaton/atomicrenderer.h"
#include "Model/Automaton/cutplaneset.h"
#include "Model/Automaton/cutwindow.h"
#include "Model/Automaton/marchingcubesurface.h"
#include "Model/Automaton/materialpalette.h"
#include "Model/Automaton/surfaceoctree.h"
#include "Model/Geometry/quadface.h"
#include "Util/progressreporter.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace Model::Automaton {

class TotalVolume;

// Turns a volume's cells into drawable geometry and draws it.
//
// rebuild() reads the cells under the volume's voxel lock and replaces all geometry; it needs
// no GL context, so it can run (and be tested) anywhere. Only draw() and drawForPicking()
// issue GL calls. Geometry is stale after cells change until the next rebuild(): whoever
// changes cells rebuilds, after releasing the voxel lock (it is not recursive).
//
// draw() belongs to the user-interface thread. rebuild() may run on another thread while the
// window waits for a long step: the geometry is held for the length of a rebuild, and a draw
// that finds it held skips the volume for that frame instead of reading half-built faces.
class TotalVolumePainter {
public:
    enum SurfaceAlgorithm { DirectCubic = 0, MarchingCubes = 1, Octree = 2 };
    using Corner = std::array<int, 3>;

    explicit TotalVolumePainter(TotalVolume& volume);
    ~TotalVolumePainter();
    TotalVolumePainter(const TotalVolumePainter&) = delete;
    TotalVolumePainter& operator=(const TotalVolumePainter&) = delete;

    // Replaces everything shown: the direct cubic faces always, the surface of the chosen
    // algorithm, the empty-cell outlines when they are switched on. Takes the material colours
    // from the registry as they are now. A surface too large for memory is dropped (the volume
    // then shows nothing) rather than taking the program down.
    //
    // Each part of the build is one step of `progress`; a cancel stops the build between parts
    // with Util::RunCancelled and leaves the geometry incomplete until the next rebuild.
    void rebuild(Util::ProgressReporter& progress = Util::ProgressReporter::none());
    void draw(bool renderObjects, bool renderEdges);
    // The volume's bounding box, so a click anywhere on it picks the volume.
    void drawForPicking();

    // Takes new material colours from the registry and recolours the faces without rebuilding.
    void updateMaterialColors();

    int getAlgorithm() const { return algorithm; }
    // A different algorithm rebuilds the direct cubic faces at once; the surface of the new
    // algorithm appears with the next rebuild(). Values other than the three are ignored.
    void setAlgorithm(int value);

    bool isHidden() const { return hidden; }
    void setHidden(bool value) { hidden = value; }
    bool getRenderEmptyVoxelOutlines() const { return renderEmptyVoxelOutlines; }
    void setRenderEmptyVoxelOutlines(bool value) { renderEmptyVoxelOutlines = value; }

    // Switches of the silicon-lattice drawing; they take effect at the next rebuild.
    bool getRenderUnitCells() const { return atomicRenderer.getRenderUnitCells(); }
    void setRenderUnitCells(bool value) { atomicRenderer.setRenderUnitCells(value); }
    bool getRenderUnitCellOutlines() const { return atomicRenderer.getRenderUnitCellOutlines(); }
    void setRenderUnitCellOutlines(bool value) { atomicRenderer.setRenderUnitCellOutlines(value); }
    bool getRenderAtoms() const { return atomicRenderer.getRenderAtoms(); }
    void setRenderAtoms(bool value) { atomicRenderer.setRenderAtoms(value); }
    bool getSurfaceAtomsOnly() const { return atomicRenderer.getSurfaceAtomsOnly(); }
    void setSurfaceAtomsOnly(bool value) { atomicRenderer.setSurfaceAtomsOnly(value); }
    bool getRenderAtomLinks() const { return atomicRenderer.getRenderAtomLinks(); }
    void setRenderAtomLinks(bool value) { atomicRenderer.setRenderAtomLinks(value); }
    AtomicRenderer& getAtomicRenderer() { return atomicRenderer; }

    // The window of cells shown, lower <= coordinate < upper. Setting it also replaces the
    // cut planes; it does not rebuild.
    void setCutLimits(const Corner& lower, const Corner& upper);
    void getCutLimits(Corner& lower, Corner& upper) const;
    CutWindow getCutWindow() const;
    CutPlaneSet& getCutPlanes() { return cutPlanes; }

    // Number of tasks the builders split x into; 0 (the default) means the thread count of a
    // fresh pool, or fewer for a volume too small to be worth them.
    void setBuildThreads(int threads) { buildThreads = threads; }
    int getBuildThreads() const;

    const std::vector<Geometry::CellFace>& getOpaqueFaces() const { return opaqueFaces; }
    const std::vector<Geometry::CellFace>& getTransparentFaces() const { return transparentFaces; }
    // A face of the direct cubic surface as it is drawn: its corners, its normal and its
    // colour (highlighted while the volume is shown selected).
    Geometry::QuadFace quadOf(const Geometry::CellFace& face) const;
    const std::vector<Geometry::QuadFace>& getEmptyVoxelFaces() const { return emptyVoxelFaces; }
    const MarchingCubeSurface& getMarchingCubes() const { return marchingCubes; }
    const SurfaceOctree& getOctree() const { return octree; }
    const std::map<std::uint32_t, Geometry::Rgba>& getMaterialColors() const {
        return palette.getColors();
    }

private:
    void buildDirectCubicFaces(const CellGrid& grid, const CutWindow& window);
    void buildEmptyVoxelFaces(const CellGrid& grid, const CutWindow& window);
    void dropGeometry();
    // Draws cell faces as filled quads (between glBegin and glEnd of its own); faces of
    // `skippedMaterial` are left out.
    void drawCellFaces(const std::vector<Geometry::CellFace>& faces,
                       int skippedMaterial = -1) const;
    void drawMasks();
    void drawMask(const std::vector<bool>& bits, int width, int height, float z);

    TotalVolume& volume;
    bool renderEmptyVoxelOutlines = false;
    bool hidden = false;
    bool selectionShown;
    int algorithm = DirectCubic;
    float cellSize[3];

    mutable std::mutex cutLock;
    std::mutex geometryLock;
    CutWindow cut;
    CutPlaneSet cutPlanes;

    AtomicRenderer atomicRenderer;

    int buildThreads = 0;
    MaterialPalette palette;
    MarchingCubeSurface marchingCubes;
    SurfaceOctree octree;
    std::vector<Geometry::CellFace> opaqueFaces;
    std::vector<Geometry::CellFace> transparentFaces;
    std::vector<Geometry::QuadFace> emptyVoxelFaces;
    // Per-task output of the direct cubic build, kept between builds only for its capacity.
    std::vector<std::vector<Geometry::CellFace>> opaqueParts;
    std::vector<std::vector<Geometry::CellFace>> transparentParts;
};

} // namespace Model::Automaton
