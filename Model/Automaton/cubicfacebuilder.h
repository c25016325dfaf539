#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/cutwindow.h"
#include "Model/Automaton/materialpalette.h"
#include "Model/Geometry/quadface.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Model::Automaton {

// Builds the direct cubic surface of a range of x columns: one face per visible side of
// every filled cell, and on request the outlines of every empty cell. Only reads cells, so
// any number of ranges can be built at once.
class CubicFaceBuilder {
public:
    // Cells with alpha below this are see-through.
    static constexpr float transparentBelow = 0.997f;
    // A neighbour hides an opaque cell's side only when it is at least this opaque.
    static constexpr float hidingAlpha = 0.999f;
    // Two cells of one see-through material merge when it is at least this opaque.
    static constexpr float mergingAlpha = 0.1f;

    // `window` must lie inside the grid (CutWindow::clampedTo).
    CubicFaceBuilder(const CellGrid& grid, const CutWindow& window, const MaterialPalette& palette);

    void buildFaces(int xBegin, int xEnd, std::vector<Geometry::CellFace>& opaque,
                    std::vector<Geometry::CellFace>& transparent) const;
    void buildEmptyCellFaces(int xBegin, int xEnd, std::vector<Geometry::QuadFace>& faces) const;

    // Empty cells in the window, so a caller can refuse outlines it cannot hold.
    std::uint64_t countEmptyCells() const;

    static const Geometry::Rgba& emptyCellColor();

private:
    enum Flag : std::uint8_t { Filled = 1, SeeThrough = 2, HidesOpaque = 4, Merges = 8 };
    std::uint8_t flagsOf(std::uint32_t material) const {
        return material < flags.size() ? flags[material] : computeFlags(material);
    }
    std::uint8_t computeFlags(std::uint32_t material) const;
    // True when none of the eight cells from flag k of `current` on shows a face: all empty,
    // or all opaque and hidden on every side. Most of a large volume is one or the other, and
    // is passed over eight cells at a time.
    static bool showsNothing(const std::vector<std::uint8_t>& previous,
                             const std::vector<std::uint8_t>& current,
                             const std::vector<std::uint8_t>& next, std::size_t k, int rowLength);
    // True when the row of flags from k on shows no side along x or y: every cell of it is
    // empty or opaque and hiding, as are those beside it in the rows along x and y, which are
    // the same. Most rows of a large volume are such runs of one kind along z.
    static bool showsOnlyRunEnds(const std::vector<std::uint8_t>& previous,
                                 const std::vector<std::uint8_t>& current,
                                 const std::vector<std::uint8_t>& next, std::size_t k,
                                 int rowLength, int length);
    // Flags of the cells of plane x inside the window, framed by empty flags; all empty when
    // x lies outside the window.
    void fillPlane(int x, std::vector<std::uint8_t>& plane) const;
    static void addFace(std::vector<Geometry::CellFace>& out, int side, CellIndex index,
                        MaterialId material) {
        out.push_back({std::int64_t(index), material, std::uint8_t(side)});
    }
    // Calls opaque(side, index, material) or transparent(...) for every face of the
    // columns [xBegin, xEnd), in the order buildFaces() lists them.
    template <class Opaque, class Transparent>
    void visitFaces(int xBegin, int xEnd, Opaque&& opaque, Transparent&& transparent) const;

    const CellGrid& grid;
    CutWindow window;
    const MaterialPalette& palette;
    std::vector<std::uint8_t> flags;
};

} // namespace Model::Automaton
