#pragma once

namespace Core::Operations {

// How one cell volume is drawn: the atomistic switches, the outlines of empty cells and the
// surface algorithm (0 direct cubic, 1 marching cubes, 2 octree).
struct VolumeVisualizationOptions {
    bool renderSiAtoms = false;
    bool renderSurfaceAtomsOnly = false;
    bool renderSiAtomLinks = false;
    bool renderUnitCellOutlines = false;
    bool renderUnitCells = false;
    bool renderEmptyVoxelOutlines = false;
    int surfaceAlgorithm = 0;

    bool operator==(const VolumeVisualizationOptions& other) const {
        return renderSiAtoms == other.renderSiAtoms &&
               renderSurfaceAtomsOnly == other.renderSurfaceAtomsOnly &&
               renderSiAtomLinks == other.renderSiAtomLinks &&
               renderUnitCellOutlines == other.renderUnitCellOutlines &&
               renderUnitCells == other.renderUnitCells &&
               renderEmptyVoxelOutlines == other.renderEmptyVoxelOutlines &&
               surfaceAlgorithm == other.surfaceAlgorithm;
    }
};

} // namespace Core::Operations
