#include "Core/Operations/celllength.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Metrology/scale.h"

#include <cmath>

namespace Core::Operations {

namespace {
// More cells than any volume holds along an axis; keeps a huge request a finite count.
constexpr double mostCells = 2.0e9;
} // namespace

CellLength CellLength::of(const Model::Automaton::TotalVolume& volume, double microns) {
    CellLength length;
    length.requested = microns;
    length.cellEdge = Model::Metrology::CellEdges::of(volume).z;
    length.sceneCell = double(volume.getCellSizeZ());
    if (!(length.cellEdge > 0.0) || !std::isfinite(microns) || microns <= 0.0)
        return length;
    // 1.5 cells is 2, and a request that is a whole number of cells but for the rounding of
    // its conversion (0.3 µm on 0.1 µm cells) stays that number.
    const double cells = microns / length.cellEdge;
    length.cells =
        cells >= mostCells ? std::int64_t(mostCells) : std::int64_t(std::floor(cells + 0.5 + 1e-9));
    return length;
}

bool CellLength::isWhole() const {
    if (!(cellEdge > 0.0) || !std::isfinite(requested))
        return true;
    return std::abs(requested / cellEdge - double(cells)) < 1e-6;
}

QString CellLength::number(double value) {
    // Lengths made of float cell sizes carry their rounding in the last digits.
    return QString::number(std::abs(value) < 1e-12 ? 0.0 : value, 'g', 6);
}

QString CellLength::note(const QString& done) const {
    if (isWhole())
        return QString();
    return QStringLiteral("%1 µm is %2 cells of %3 µm: %4 %5 %6 = %7 µm")
        .arg(number(requested), number(requested / cellEdge), number(cellEdge), done)
        .arg(cells)
        .arg(cells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"), number(microns()));
}

QString CellLength::refusal(const QString& what) const {
    if (cells > 0 || !(requested > 0.0) || !std::isfinite(requested))
        return QString();
    return QStringLiteral("The %1 of %2 µm is less than half a cell of %3 µm and would change no "
                          "cell.")
        .arg(what, number(requested), number(cellEdge));
}

} // namespace Core::Operations
