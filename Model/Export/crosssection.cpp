#include "Model/Export/crosssection.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/cutwindow.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Metrology/scale.h"

#include <QRegularExpression>

#include <cmath>
#include <set>

namespace Model::Export {

using Automaton::TotalVolume;

std::optional<SectionPlane> SectionPlane::parse(const QString& text, QString* problem) {
    static const QRegularExpression form(QStringLiteral("^\\s*([xyzXYZ])\\s*=\\s*(\\S+)\\s*$"));
    const auto match = form.match(text);
    bool number = false;
    const double position = match.hasMatch() ? match.captured(2).toDouble(&number) : 0.0;
    if (!match.hasMatch() || !number || !std::isfinite(position)) {
        if (problem)
            *problem = QStringLiteral("a plane is given as x=C, y=C or z=C with C in "
                                      "micrometres, not '%1'")
                           .arg(text);
        return std::nullopt;
    }
    SectionPlane plane;
    plane.axis = Axis(match.captured(1).toLower().at(0).unicode() - 'x');
    plane.position = position;
    return plane;
}

QString SectionPlane::text() const {
    return QStringLiteral("%1 = %2 µm").arg(QLatin1Char(letter(axis))).arg(position);
}

double CrossSection::extent(const TotalVolume& volume, SectionPlane::Axis axis) {
    const unsigned sizes[] = {volume.getSizeX(), volume.getSizeY(), volume.getSizeZ()};
    const int a = int(axis);
    return sizes[a] * Metrology::CellEdges::of(volume).along(a);
}

SectionPlane CrossSection::planeOfCut(TotalVolume& volume) {
    const unsigned size[] = {volume.getSizeX(), volume.getSizeY(), volume.getSizeZ()};
    const Metrology::CellEdges edges = Metrology::CellEdges::of(volume);
    const double cellSize[] = {edges.x, edges.y, edges.z};
    const Automaton::CutWindow window =
        volume.getPainter().getCutWindow().clampedTo(size[0], size[1], size[2]);
    SectionPlane plane;
    for (const SectionPlane::Axis axis :
         {SectionPlane::Axis::Y, SectionPlane::Axis::X, SectionPlane::Axis::Z}) {
        const int a = int(axis);
        const int low = window.min[std::size_t(a)];
        const int high = window.max[std::size_t(a)];
        if (size[a] == 0 || (low <= 0 && high >= int(size[a])) || high <= low)
            continue;
        const int layer = low > 0 ? low : high - 1;
        plane.axis = axis;
        plane.position = (layer + 0.5) * cellSize[a];
        return plane;
    }
    plane.axis = SectionPlane::Axis::Y;
    plane.position = (size[1] / 2 + 0.5) * cellSize[1];
    return plane;
}

std::optional<CrossSection> CrossSection::take(TotalVolume& volume, const SectionPlane& plane,
                                               QString* problem) {
    const unsigned size[] = {volume.getSizeX(), volume.getSizeY(), volume.getSizeZ()};
    const Metrology::CellEdges edges = Metrology::CellEdges::of(volume);
    const double cellSize[] = {edges.x, edges.y, edges.z};
    const int normal = int(plane.axis);
    const double end = size[normal] * cellSize[normal];
    if (!(plane.position >= 0.0 && plane.position < end)) {
        if (problem)
            *problem = QStringLiteral("The plane %1 lies outside the cell volume: %2 runs from 0 "
                                      "to %3 µm (not including %3).")
                           .arg(plane.text())
                           .arg(QLatin1Char(SectionPlane::letter(plane.axis)))
                           .arg(end);
        return std::nullopt;
    }
    const unsigned layer =
        std::min(unsigned(std::floor(plane.position / cellSize[normal])), size[normal] - 1);
    Automaton::CellArraysLock lock(volume, Automaton::CellArraysLock::Arrays::Current);
    const auto grid = Automaton::CellGrid::of(volume, lock.materials());
    return fromCells(size, cellSize, plane, layer, [&grid](unsigned x, unsigned y, unsigned z) {
        return grid.material(int(x), int(y), int(z));
    });
}

std::vector<std::uint32_t> CrossSection::presentMaterials() const {
    std::set<std::uint32_t> found;
    std::uint32_t last = 0;
    for (const std::uint32_t material : materials) {
        // Long runs of one material need no look at the set.
        if (material == last)
            continue;
        last = material;
        found.insert(material);
    }
    found.erase(0);
    return {found.begin(), found.end()};
}

} // namespace Model::Export
