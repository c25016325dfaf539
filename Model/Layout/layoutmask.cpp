#include "Model/Layout/layoutmask.h"

#include "Model/Automaton/totalvolume.h"
#include "Model/Layout/layoutrasterizer.h"
#include "Model/Metrology/scale.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace Model::Layout {

QString LayoutMaskSource::fileAndLayer() const {
    return QStringLiteral("%1:%2/%3").arg(file).arg(layer).arg(datatype);
}

bool LayoutMaskSource::parseFileAndLayer(const QString& text, LayoutMaskSource& source) {
    static const QRegularExpression form(QStringLiteral("^(.+):(\\d{1,5})(?:/(\\d{1,5}))?$"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch())
        return false;
    const int layer = match.captured(2).toInt();
    const int datatype = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if (layer > 65535 || datatype > 65535)
        return false;
    source.file = match.captured(1);
    source.layer = layer;
    source.datatype = datatype;
    return true;
}

QString LayoutMaskSource::placementText() const {
    QString text = QStringLiteral("offset %1;%2 \u00b5m, %3\u00b0")
                       .arg(offsetX, 0, 'g', 10)
                       .arg(offsetY, 0, 'g', 10)
                       .arg(rotation);
    if (mirrored)
        text += QStringLiteral(", mirrored");
    return text;
}

int LayoutMask::topCell(const LayoutLibrary& library, const QString& name, QString& problem) {
    if (!name.isEmpty()) {
        const int cell = library.cellIndex(name.toStdString());
        if (cell < 0)
            problem = QStringLiteral("it has no cell \"%1\"").arg(name);
        return cell;
    }
    const std::vector<int> tops = library.topCells();
    if (tops.size() == 1)
        return tops.front();
    problem = tops.empty() ? QStringLiteral("it holds no cell")
                           : QStringLiteral("it has %1 top cells; choose one").arg(tops.size());
    return -1;
}

Affine LayoutMask::placement(const LayoutLibrary& library, const LayoutMaskSource& source,
                             const ColumnGrid& grid) {
    const double unit = library.databaseUnit();
    static const int cosines[] = {1, 0, -1, 0};
    const int k = ((source.rotation / 90) % 4 + 4) % 4;
    const double cosine = cosines[k];
    const double sine = cosines[(k + 3) % 4];
    const double flip = source.mirrored ? -1.0 : 1.0;
    (void)grid;
    return {unit * cosine,        -unit * sine * flip, unit * sine,
            unit * cosine * flip, source.offsetX,      source.offsetY};
}

bool LayoutMask::rasterise(const LayoutLibrary& library, const LayoutMaskSource& source,
                           const ColumnGrid& grid, Model::Automaton::PhotoMask& mask,
                           QString& problem, LayoutFlattener::Limits limits) {
    if (grid.sizeX == 0 || grid.sizeY == 0 ||
        std::uint64_t(grid.sizeX) * grid.sizeY > Model::Automaton::PhotoMask::maximumPixels ||
        !(grid.cellSizeX > 0) || !(grid.cellSizeY > 0)) {
        problem = QStringLiteral("the volume's columns cannot take a mask");
        return false;
    }
    if (source.rotation % 90 != 0 || !std::isfinite(source.offsetX) ||
        !std::isfinite(source.offsetY)) {
        problem = QStringLiteral("the placement is no offset and turn by a right angle");
        return false;
    }
    const int cell = topCell(library, source.cell, problem);
    if (cell < 0)
        return false;
    bool drawn = false;
    for (const auto& pair : library.layersUnder(cell))
        drawn = drawn || (pair.first == source.layer && pair.second == source.datatype);
    if (!drawn) {
        problem = QStringLiteral("nothing is drawn on layer %1/%2 of cell \"%3\"")
                      .arg(source.layer)
                      .arg(source.datatype)
                      .arg(QString::fromStdString(library.cells()[std::size_t(cell)].name));
        return false;
    }
    // A margin of a column keeps shapes whose edges only touch the grid's outer centres.
    const QRectF window(
        QPointF(-grid.cellSizeX, -grid.cellSizeY),
        QPointF((grid.sizeX + 1.0) * grid.cellSizeX, (grid.sizeY + 1.0) * grid.cellSizeY));
    LayoutRasterizer rasterizer(grid.sizeX, grid.sizeY, grid.cellSizeX, grid.cellSizeY);
    LayoutFlattener flattener(library, source.layer, source.datatype, limits);
    if (!flattener.flatten(
            cell, placement(library, source, grid), window,
            [&rasterizer](const QPolygonF& outline) { rasterizer.add(outline); }, problem))
        return false;
    Model::Automaton::PhotoMask result = rasterizer.mask();
    if (source.inverted)
        result.bits.flip();
    mask = std::move(result);
    return true;
}

bool LayoutMask::rasterise(const LayoutMaskSource& source, const ColumnGrid& grid,
                           Model::Automaton::PhotoMask& mask, QString& problem,
                           LayoutFlattener::Limits limits) {
    LayoutLibrary library;
    if (!LayoutLibrary::read(source.file, library, problem))
        return false;
    return rasterise(library, source, grid, mask, problem, limits);
}

namespace {

// The decimal a cell size was given as: the volume keeps it in single precision, where 0.1 is
// 0.100000001, a tenth of a picometre off, which would put a column centre meant to lie on a
// shape's edge beside it.
double givenDecimal(float value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    *written.ptr = '\0';
    return std::strtod(text, nullptr);
}

} // namespace

ColumnGrid ColumnGrid::of(const Automaton::TotalVolume& volume) {
    const double scale = Metrology::micrometresPerSceneUnit(volume);
    return {volume.getSizeX(), volume.getSizeY(), givenDecimal(volume.getCellSizeX()) * scale,
            givenDecimal(volume.getCellSizeY()) * scale};
}

} // namespace Model::Layout
