#include "Core/Operations/WholeVolume/gluelayout.h"

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Metrology/scale.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

namespace Core::Operations {

namespace {

// Lowest and one past the highest occupied layer, or an empty range (begin = sizeZ, end = 0).
struct OccupiedLayers {
    unsigned begin;
    unsigned end;
};

OccupiedLayers occupiedLayers(Model::Automaton::TotalVolume& volume) {
    const unsigned sizeY = volume.getSizeY();
    const unsigned sizeZ = volume.getSizeZ();
    const StripPartition partition(volume.getSizeX());
    std::vector<OccupiedLayers> perStrip(std::size_t(partition.count()), {sizeZ, 0});
    const Model::Automaton::CellArraysLock locked(
        volume, Model::Automaton::CellArraysLock::Arrays::Current);
    const Model::Automaton::MaterialCells cells = locked.materials();
    partition.runPass([&](const Strip& strip) {
        OccupiedLayers found{sizeZ, 0};
        for (unsigned x = strip.begin; x < strip.end; ++x) {
            for (unsigned y = 0; y < sizeY; ++y) {
                // From both ends of the column: only the layers outside its band are read
                // twice, the band itself not at all.
                const Model::Automaton::MaterialCells column =
                    cells + std::ptrdiff_t(volume.index(x, y, 0));
                unsigned top = sizeZ;
                while (top > 0 && column[top - 1] == 0)
                    --top;
                if (top == 0)
                    continue;
                unsigned bottom = 0;
                while (column[bottom] == 0)
                    ++bottom;
                found.begin = std::min(found.begin, bottom);
                found.end = std::max(found.end, top);
            }
        }
        perStrip[std::size_t(strip.index)] = found;
    });
    OccupiedLayers all{sizeZ, 0};
    for (const OccupiedLayers& part : perStrip) {
        all.begin = std::min(all.begin, part.begin);
        all.end = std::max(all.end, part.end);
    }
    return all;
}

} // namespace

GlueLayout GlueLayout::of(Model::Automaton::TotalVolume& base, Model::Automaton::TotalVolume& top) {
    GlueLayout layout;
    const OccupiedLayers below = occupiedLayers(base);
    layout.baseHeight = below.end > 0 ? below.end : 1;
    const OccupiedLayers above = occupiedLayers(top);
    if (above.end > 0) {
        layout.bandBegin = above.begin;
        layout.bandEnd = above.end;
    }
    layout.minimumX = std::max(base.getSizeX(), top.getSizeX());
    layout.minimumY = std::max(base.getSizeY(), top.getSizeY());
    layout.minimumZ = layout.baseHeight + layout.bandHeight();
    layout.maximumDisplacementX = int(layout.minimumX - top.getSizeX());
    layout.maximumDisplacementY = int(layout.minimumY - top.getSizeY());
    layout.cellSizeX = std::max(base.getCellSizeX(), top.getCellSizeX());
    layout.cellSizeY = std::max(base.getCellSizeY(), top.getCellSizeY());
    layout.cellSizeZ = std::max(base.getCellSizeZ(), top.getCellSizeZ());
    return layout;
}

QString GlueLayout::changesOf(const Model::Automaton::TotalVolume& base,
                              const Model::Automaton::TotalVolume& top, const GlueLayout& layout) {
    const double scale = Model::Metrology::micrometresPerSceneUnit(base);
    const Model::Metrology::CellEdges stack{layout.cellSizeX * scale, layout.cellSizeY * scale,
                                            layout.cellSizeZ * scale};
    const auto edgesText = [](const Model::Metrology::CellEdges& e) {
        return QStringLiteral("%1 x %2 x %3 µm").arg(e.x).arg(e.y).arg(e.z);
    };
    const auto same = [](double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(a, b); };
    QStringList changes;
    const std::pair<const char*, const Model::Automaton::TotalVolume*> volumes[] = {{"base", &base},
                                                                                    {"top", &top}};
    for (const auto& [name, volume] : volumes) {
        const Model::Metrology::CellEdges own = Model::Metrology::CellEdges::of(*volume);
        if (!same(own.x, stack.x) || !same(own.y, stack.y) || !same(own.z, stack.z))
            changes << QStringLiteral("the %1's cells of %2 become the stack's %3, so its shapes "
                                      "are stretched by as much")
                           .arg(QLatin1String(name), edgesText(own), edgesText(stack));
    }
    if (top.getCrystalOrientation() != base.getCrystalOrientation())
        changes << QStringLiteral("the top's (%1) silicon takes the base's crystal orientation "
                                  "(%2) and a wet etch treats it as such")
                       .arg(Model::Automaton::crystalOrientationName(top.getCrystalOrientation()),
                            Model::Automaton::crystalOrientationName(base.getCrystalOrientation()));
    return changes.join(QStringLiteral("; "));
}

QString GluePlacement::problemWith(const Model::Automaton::TotalVolume& base,
                                   const Model::Automaton::TotalVolume& top,
                                   const GlueLayout& layout) const {
    if (displacementX < 0 || displacementY < 0)
        return QStringLiteral("The top substrate displacement cannot be negative.");
    // Both volumes must fit across one axis of the result, the top with its displacement.
    const auto across = [](const char* axis, unsigned size, unsigned baseSize, unsigned topSize,
                           int displacement) {
        if (baseSize <= size && std::uint64_t(topSize) + std::uint64_t(displacement) <= size)
            return QString();
        return QStringLiteral("The final %1 size of %2 cannot hold the base (%3) or the displaced "
                              "top substrate (%4 + %5).")
            .arg(QLatin1String(axis))
            .arg(size)
            .arg(baseSize)
            .arg(topSize)
            .arg(displacement);
    };
    QString problem = across("X", sizeX, base.getSizeX(), top.getSizeX(), displacementX);
    if (problem.isEmpty())
        problem = across("Y", sizeY, base.getSizeY(), top.getSizeY(), displacementY);
    if (!problem.isEmpty())
        return problem;
    if (sizeZ < layout.minimumZ)
        return QStringLiteral("The final Z size of %1 is below the %2 layers of the stack.")
            .arg(sizeZ)
            .arg(layout.minimumZ);
    return QString();
}

} // namespace Core::Operations
