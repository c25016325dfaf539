#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::Export {

// A plane through a cell volume, normal to one axis: x = c and y = c are side views, z = c is
// the plan view. The position is in micrometres from the volume's lower corner (its first cell
// face), so the same number names the same plane wherever the volume stands in the scene.
struct SectionPlane {
    enum class Axis { X = 0, Y = 1, Z = 2 };
    Axis axis = Axis::Y;
    double position = 0.0;

    // "y=12.5", "x = 3", "Z=0.5". Nothing, with the reason, for anything else.
    static std::optional<SectionPlane> parse(const QString& text, QString* problem = nullptr);
    // "y = 12.5 µm".
    QString text() const;
    static char letter(Axis axis) { return char('x' + int(axis)); }
};

// The cells a plane cuts, laid out as the picture shows them: columns run along the picture's
// horizontal axis (x for the y and z planes, y for the x plane), rows up its vertical axis (z
// for side views, y for the plan view), row 0 at the bottom.
//
// The plane takes the layer of cells whose extent [i s, (i + 1) s) along the normal holds the
// position; a position on a cell face belongs to the cell above it.
class CrossSection {
public:
    // Nothing, with the reason for the user, when the plane misses the volume.
    static std::optional<CrossSection> take(Automaton::TotalVolume& volume,
                                            const SectionPlane& plane, QString* problem = nullptr);
    // For callers that hold the cells already: `materialAt(x, y, z)` gives a cell's material.
    template <class MaterialAt>
    static CrossSection fromCells(const unsigned size[3], const double cellSize[3],
                                  const SectionPlane& plane, unsigned layer, MaterialAt materialAt);

    // The plane the cut planes of the 3D view expose: the first axis, in the order y, x, z,
    // whose cut limits leave out part of the volume, through the middle of the outermost cell
    // layer still shown (the lower limit's when it is raised, else the upper one's). Nothing
    // cut gives the middle layer of y.
    static SectionPlane planeOfCut(Automaton::TotalVolume& volume);

    // The range of positions a plane along `axis` may take in `volume`, in micrometres: from 0
    // up to (not including) the returned extent.
    static double extent(const Automaton::TotalVolume& volume, SectionPlane::Axis axis);

    SectionPlane plane;
    // The cut layer's index along the plane's normal.
    unsigned layer = 0;
    SectionPlane::Axis horizontalAxis = SectionPlane::Axis::X;
    SectionPlane::Axis verticalAxis = SectionPlane::Axis::Z;
    unsigned columns = 0;
    unsigned rows = 0;
    // Micrometres per cell along the picture's axes.
    double cellWidth = 1.0;
    double cellHeight = 1.0;
    // Micrometres per cell along the plane's normal: the thickness of the cut layer.
    double normalCellSize = 1.0;
    // Row after row from the bottom.
    std::vector<std::uint32_t> materials;

    std::uint32_t at(unsigned column, unsigned row) const {
        return materials[std::size_t(row) * columns + column];
    }
    double width() const { return columns * cellWidth; }
    double height() const { return rows * cellHeight; }
    // The materials present, ascending, without empty space (id 0).
    std::vector<std::uint32_t> presentMaterials() const;
};

template <class MaterialAt>
CrossSection CrossSection::fromCells(const unsigned size[3], const double cellSize[3],
                                     const SectionPlane& plane, unsigned layer,
                                     MaterialAt materialAt) {
    using Axis = SectionPlane::Axis;
    CrossSection section;
    section.plane = plane;
    section.layer = layer;
    section.horizontalAxis = plane.axis == Axis::X ? Axis::Y : Axis::X;
    section.verticalAxis = plane.axis == Axis::Z ? Axis::Y : Axis::Z;
    const int h = int(section.horizontalAxis);
    const int v = int(section.verticalAxis);
    section.columns = size[h];
    section.rows = size[v];
    section.cellWidth = cellSize[h];
    section.cellHeight = cellSize[v];
    section.normalCellSize = cellSize[int(plane.axis)];
    section.materials.resize(std::size_t(section.columns) * section.rows);
    unsigned cell[3];
    cell[int(plane.axis)] = layer;
    std::size_t i = 0;
    for (unsigned row = 0; row < section.rows; ++row) {
        cell[v] = row;
        for (unsigned column = 0; column < section.columns; ++column) {
            cell[h] = column;
            section.materials[i++] = materialAt(cell[0], cell[1], cell[2]);
        }
    }
    return section;
}

} // namespace Model::Export
