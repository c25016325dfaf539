#include "Model/Export/crosssectionpicture.h"

#include "Model/Automaton/materialpalette.h"
#include "Model/Export/exportnames.h"
#include "Model/Export/imageexporter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <map>

namespace Model::Export {

namespace {

constexpr double margin = 16;
constexpr double tickLength = 6;
constexpr double gap = 6;
constexpr double panelGap = 28;
constexpr double swatchSide = 16;
constexpr double legendRowHeight = 22;
// Ticks closer than this would crowd their labels.
constexpr double horizontalTickSpacing = 80;
constexpr double verticalTickSpacing = 50;
// Below this many pixels per cell, lines between materials would hide the materials.
constexpr double boundaryMinimumPixels = 3;

QFont textFont(int pixels, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
QFont labelFont() {
    return textFont(14);
}
QFont titleFont() {
    return textFont(16, true);
}

// The smallest of 1, 2, 5 times a power of ten that is at least `least`.
double niceStep(double least) {
    if (!(least > 0))
        return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(least)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= least * (1 - 1e-9))
            return factor * power;
    return 10 * power;
}

// The largest of 1, 2, 5 times a power of ten that is at most `most`.
double niceBelow(double most) {
    const double step = niceStep(most);
    if (step <= most * (1 + 1e-9))
        return step;
    const double power = std::pow(10.0, std::floor(std::log10(most)));
    for (const double factor : {5.0, 2.0, 1.0})
        if (factor * power <= most * (1 + 1e-9))
            return factor * power;
    return power;
}

// Enough decimals to tell multiples of `step` apart, and no more.
QString number(double value, double step) {
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    return QString::number(value, 'f', decimals);
}

// A channel as the material registry stores it (truncated to a byte), so a picture shows the
// colour the registry file and the process lists name, whether the registry was read from its
// file or filled from its defaults.
int channel(float component) {
    if (!(component > 0.f))
        return 0;
    if (component >= 1.f)
        return 255;
    return static_cast<int>(component * 255.f);
}

QColor colorOf(const Automaton::MaterialPalette& palette, std::uint32_t material) {
    const auto& rgba = palette.color(material);
    // A report shows materials as solid, whatever transparency the 3D view gives them.
    return QColor(channel(rgba[0]), channel(rgba[1]), channel(rgba[2]));
}

// Multiples of `step` from 0 to `extent`, counted rather than summed so that a long axis of
// small steps neither drifts nor loses its last tick.
std::vector<double> ticks(double extent, double step) {
    std::vector<double> values;
    for (long i = 0; i * step <= extent * (1 + 1e-9); ++i)
        values.push_back(i * step);
    return values;
}

QString axisTitle(SectionPlane::Axis axis) {
    return QStringLiteral("%1 (µm)").arg(QLatin1Char(SectionPlane::letter(axis)));
}

} // namespace

bool CrossSectionPicture::canDraw(QString* problem) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return true;
    if (problem)
        *problem = QStringLiteral("cross-section pictures need the graphics system, which this "
                                  "program has not started");
    return false;
}

CrossSectionPicture::CrossSectionPicture(CrossSection section, Options options)
    : section(std::move(section)), options(std::move(options)) {
    legendMaterials = this->section.presentMaterials();
    // Without the graphics system there are no fonts to measure: nothing will be drawn.
    if (!canDraw())
        return;
    layOut();
    placeDimensions(this->options.dimensions);
}

void CrossSectionPicture::layOut() {
    // Pixels per micrometre: a whole number of pixels on the shorter cell edge.
    const double unit = std::max(1e-12, std::min(section.cellWidth, section.cellHeight));
    const double longest = std::max(section.width(), section.height()) / unit;
    double pixelsPerUnit = options.pixelsPerCell;
    if (pixelsPerUnit <= 0)
        pixelsPerUnit = std::clamp(std::floor(targetPlotSide / std::max(longest, 1.0)), 1.0,
                                   double(largestPixelsPerCell));
    if (longest * pixelsPerUnit > maximumPlotSide)
        pixelsPerUnit = maximumPlotSide / longest;
    scale = pixelsPerUnit / unit;
    const double plotWidth = std::max(1.0, std::round(section.width() * scale));
    const double plotHeight = std::max(1.0, std::round(section.height() * scale));

    horizontalStep = niceStep(horizontalTickSpacing / scale);
    verticalStep = niceStep(verticalTickSpacing / scale);
    scaleBarLength = niceBelow(std::max(section.width(), section.height()) / 4);

    const QFontMetricsF labels(labelFont());
    const QFontMetricsF title(titleFont());
    double widestTick = 0;
    for (const double value : ticks(section.height(), verticalStep))
        widestTick = std::max(widestTick, labels.horizontalAdvance(number(value, verticalStep)));
    const double left = margin + labels.height() + gap + widestTick + gap + tickLength;
    const double top = margin + title.height() + 2 * gap;
    plot = QRectF(left, top, plotWidth, plotHeight);

    double widestName = 0;
    for (const std::uint32_t material : legendMaterials)
        widestName =
            std::max(widestName, labels.horizontalAdvance(ExportNames::displayName(material)));
    const double legendWidth = swatchSide + gap + widestName;
    legend = QRectF(plot.right() + panelGap, top, legendWidth,
                    legendRowHeight * double(legendMaterials.size()));
    const double barPixels = scaleBarLength * scale;
    const double barTextWidth =
        labels.horizontalAdvance(number(scaleBarLength, scaleBarLength) + QStringLiteral(" µm"));
    scaleBar = QRectF(legend.left(), legend.bottom() + (legendMaterials.empty() ? 0 : 2 * gap),
                      std::max(barPixels, barTextWidth), 8 + gap + labels.height());

    const double right = std::max(legend.right(), scaleBar.right()) + margin;
    const double bottomOfPlot =
        plot.bottom() + tickLength + gap + labels.height() + gap + labels.height() + margin;
    const double bottom = std::max(bottomOfPlot, scaleBar.bottom() + margin);
    const double titleRight = plot.left() + title.horizontalAdvance(heading()) + margin;
    pictureSize = QSize(int(std::ceil(std::max(right, titleRight))), int(std::ceil(bottom)));
}

QString CrossSectionPicture::heading() const {
    return QStringLiteral("Cross-section at %1 (cell layer %2)")
        .arg(section.plane.text())
        .arg(section.layer);
}

QPointF CrossSectionPicture::toPicture(double horizontal, double vertical) const {
    return {plot.left() + horizontal * scale, plot.bottom() - vertical * scale};
}

void CrossSectionPicture::placeDimensions(const std::vector<Metrology::Dimension>& dimensions) {
    const int normal = int(section.plane.axis);
    // Ends on the faces of the cut layer still belong to it.
    const double low = section.layer * section.normalCellSize;
    const double high = (section.layer + 1) * section.normalCellSize;
    const double slack = section.normalCellSize * 1e-9;
    const auto inLayer = [&](double position) {
        return position >= low - slack && position <= high + slack;
    };
    for (const Metrology::Dimension& dimension : dimensions) {
        const double from[] = {dimension.from.x, dimension.from.y, dimension.from.z};
        const double to[] = {dimension.to.x, dimension.to.y, dimension.to.z};
        if (from[0] == to[0] && from[1] == to[1] && from[2] == to[2])
            continue;
        if (!std::isfinite(from[normal]) || !std::isfinite(to[normal]))
            continue;
        if (!inLayer(from[normal]) || !inLayer(to[normal]))
            continue;
        const int h = int(section.horizontalAxis);
        const int v = int(section.verticalAxis);
        PlacedDimension item;
        item.from = toPicture(from[h], from[v]);
        item.to = toPicture(to[h], to[v]);
        item.isAngle = dimension.unit == QStringLiteral("°");
        item.text =
            !dimension.label.isEmpty()
                ? dimension.label
                : QStringLiteral("%1 %2").arg(dimension.value, 0, 'g', 6).arg(dimension.unit);
        placed.push_back(item);
    }
}

void CrossSectionPicture::paint(QPainter& painter) const {
    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(pictureSize)), Qt::white);
    paintCells(painter);
    paintMaterialBoundaries(painter);
    paintAxes(painter);
    paintLegend(painter);
    paintScaleBar(painter);
    paintDimensions(painter);
    painter.setFont(titleFont());
    painter.setPen(Qt::black);
    const QFontMetricsF title(titleFont());
    painter.drawText(QPointF(plot.left(), margin + title.ascent()), heading());
    painter.restore();
}

void CrossSectionPicture::paintCells(QPainter& painter) const {
    const auto palette = Automaton::MaterialPalette::fromRegistry();
    // Runs of one material in a row, stacked into rectangles while the rows above repeat
    // them: a layered section becomes a few rectangles per material, not one per cell.
    struct Block {
        unsigned first, end, bottom, top;
        std::uint32_t material;
    };
    std::map<std::uint32_t, QPainterPath> paths;
    const auto close = [&](const Block& block) {
        if (block.material == 0)
            return;
        const QPointF low =
            toPicture(block.first * section.cellWidth, block.bottom * section.cellHeight);
        const QPointF high =
            toPicture(block.end * section.cellWidth, block.top * section.cellHeight);
        paths[block.material].addRect(QRectF(low, high).normalized());
    };
    std::vector<Block> open, next;
    for (unsigned row = 0; row < section.rows; ++row) {
        next.clear();
        std::size_t o = 0;
        unsigned column = 0;
        while (column < section.columns) {
            const std::uint32_t material = section.at(column, row);
            unsigned end = column + 1;
            while (end < section.columns && section.at(end, row) == material)
                ++end;
            while (o < open.size() && open[o].first < column)
                close(open[o++]);
            if (o < open.size() && open[o].first == column && open[o].end == end &&
                open[o].material == material) {
                Block grown = open[o++];
                grown.top = row + 1;
                next.push_back(grown);
            } else {
                next.push_back({column, end, row, row + 1, material});
            }
            column = end;
        }
        while (o < open.size())
            close(open[o++]);
        open.swap(next);
    }
    for (const Block& block : open)
        close(block);

    painter.save();
    // Whole-pixel cells stay crisp; smoothing would blend neighbouring materials.
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (auto& [material, path] : paths) {
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, colorOf(palette, material));
    }
    painter.restore();
}

void CrossSectionPicture::paintMaterialBoundaries(QPainter& painter) const {
    if (std::min(section.cellWidth, section.cellHeight) * scale < boundaryMinimumPixels)
        return;
    QPainterPath lines;
    // Faces between cells of different material, joined along their line while they go on.
    for (unsigned column = 1; column < section.columns; ++column) {
        unsigned row = 0;
        while (row < section.rows) {
            if (section.at(column - 1, row) == section.at(column, row)) {
                ++row;
                continue;
            }
            unsigned end = row + 1;
            while (end < section.rows && section.at(column - 1, end) != section.at(column, end))
                ++end;
            lines.moveTo(toPicture(column * section.cellWidth, row * section.cellHeight));
            lines.lineTo(toPicture(column * section.cellWidth, end * section.cellHeight));
            row = end;
        }
    }
    for (unsigned row = 1; row < section.rows; ++row) {
        unsigned column = 0;
        while (column < section.columns) {
            if (section.at(column, row - 1) == section.at(column, row)) {
                ++column;
                continue;
            }
            unsigned end = column + 1;
            while (end < section.columns && section.at(end, row - 1) != section.at(end, row))
                ++end;
            lines.moveTo(toPicture(column * section.cellWidth, row * section.cellHeight));
            lines.lineTo(toPicture(end * section.cellWidth, row * section.cellHeight));
            column = end;
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(40, 40, 40), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(lines);
    painter.restore();
}

void CrossSectionPicture::paintAxes(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.setFont(labelFont());
    const QFontMetricsF labels(labelFont());

    for (const double value : ticks(section.width(), horizontalStep)) {
        const double x = std::round(toPicture(value, 0).x());
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tickLength));
        const QString text = number(value, horizontalStep);
        painter.drawText(QPointF(x - labels.horizontalAdvance(text) / 2,
                                 plot.bottom() + tickLength + gap + labels.ascent()),
                         text);
    }
    for (const double value : ticks(section.height(), verticalStep)) {
        const double y = std::round(toPicture(0, value).y());
        painter.drawLine(QPointF(plot.left() - tickLength, y), QPointF(plot.left(), y));
        const QString text = number(value, verticalStep);
        painter.drawText(QPointF(plot.left() - tickLength - gap - labels.horizontalAdvance(text),
                                 y + labels.ascent() / 2 - labels.descent() / 2),
                         text);
    }

    const QString horizontal = axisTitle(section.horizontalAxis);
    painter.drawText(
        QPointF(plot.center().x() - labels.horizontalAdvance(horizontal) / 2,
                plot.bottom() + tickLength + 2 * gap + labels.height() + labels.ascent()),
        horizontal);
    const QString vertical = axisTitle(section.verticalAxis);
    painter.translate(margin + labels.ascent(),
                      plot.center().y() + labels.horizontalAdvance(vertical) / 2);
    painter.rotate(-90);
    painter.drawText(QPointF(0, 0), vertical);
    painter.restore();
}

void CrossSectionPicture::paintLegend(QPainter& painter) const {
    const auto palette = Automaton::MaterialPalette::fromRegistry();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(labelFont());
    const QFontMetricsF labels(labelFont());
    double y = legend.top();
    for (const std::uint32_t material : legendMaterials) {
        const QRectF swatch(legend.left(), y + (legendRowHeight - swatchSide) / 2, swatchSide,
                            swatchSide);
        painter.fillRect(swatch, colorOf(palette, material));
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(swatch);
        painter.drawText(QPointF(swatch.right() + gap,
                                 swatch.center().y() + labels.ascent() / 2 - labels.descent() / 2),
                         ExportNames::displayName(material));
        y += legendRowHeight;
    }
    painter.restore();
}

void CrossSectionPicture::paintScaleBar(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const double length = std::round(scaleBarLength * scale);
    const QRectF bar(scaleBar.left(), scaleBar.top(), length, 8);
    painter.fillRect(bar, Qt::black);
    painter.setFont(labelFont());
    painter.setPen(Qt::black);
    const QFontMetricsF labels(labelFont());
    const QString text = number(scaleBarLength, scaleBarLength) + QStringLiteral(" µm");
    painter.drawText(QPointF(bar.left(), bar.bottom() + gap + labels.ascent()), text);
    painter.restore();
}

void CrossSectionPicture::paintDimensions(QPainter& painter) const {
    if (placed.empty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setFont(labelFont());
    const QFontMetricsF labels(labelFont());
    const QColor ink(170, 0, 30);
    for (const PlacedDimension& dimension : placed) {
        const QLineF line(dimension.from, dimension.to);
        // A white halo keeps the arrow readable on any material.
        painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(line);
        painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(line);
        if (!dimension.isAngle && line.length() > 0) {
            const double head = std::min(10.0, line.length() / 3);
            const QPointF along = (line.p2() - line.p1()) / line.length();
            const QPointF across(-along.y(), along.x());
            painter.setPen(Qt::NoPen);
            painter.setBrush(ink);
            for (const auto& [tip, direction] :
                 {std::pair{line.p1(), along}, std::pair{line.p2(), -along}}) {
                const QPointF base = tip + direction * head;
                const QPointF corners[] = {tip, base + across * head * 0.4,
                                           base - across * head * 0.4};
                painter.drawPolygon(corners, 3);
            }
        }
        // The text beside the middle of the arrow, kept within the picture.
        const QSizeF textSize(labels.horizontalAdvance(dimension.text) + 8, labels.height() + 4);
        const QPointF middle = line.center();
        const bool steep = std::abs(line.dx()) < std::abs(line.dy());
        QPointF corner =
            steep ? QPointF(middle.x() + 6, middle.y() - textSize.height() / 2)
                  : QPointF(middle.x() - textSize.width() / 2, middle.y() - textSize.height() - 4);
        corner.setX(std::clamp(corner.x(), 0.0, pictureSize.width() - textSize.width()));
        corner.setY(std::clamp(corner.y(), 0.0, pictureSize.height() - textSize.height()));
        const QRectF box(corner, textSize);
        painter.setPen(QPen(ink, 1));
        painter.setBrush(QColor(255, 255, 255, 230));
        painter.drawRoundedRect(box, 3, 3);
        painter.setPen(ink);
        painter.drawText(QPointF(box.left() + 4, box.top() + 2 + labels.ascent()), dimension.text);
    }
    painter.restore();
}

QImage CrossSectionPicture::image() const {
    if (!canDraw())
        return QImage();
    QImage picture(pictureSize, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    paint(painter);
    painter.end();
    return picture;
}

QByteArray CrossSectionPicture::svg() const {
    if (!canDraw())
        return QByteArray();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setResolution(96);
    generator.setSize(pictureSize);
    generator.setViewBox(QRect(QPoint(0, 0), pictureSize));
    generator.setTitle(QStringLiteral("Cross-section at %1").arg(section.plane.text()));
    QPainter painter(&generator);
    paint(painter);
    painter.end();
    QByteArray text = buffer.data();
    // The generator gives the size in millimetres, which renderers turn into pixels at their
    // own resolution; in pixels the SVG is drawn at the PNG's size everywhere.
    static const QRegularExpression physical(
        QStringLiteral("width=\"[0-9.]+mm\" height=\"[0-9.]+mm\""));
    const QString pixels = QStringLiteral("width=\"%1px\" height=\"%2px\"")
                               .arg(pictureSize.width())
                               .arg(pictureSize.height());
    return QString::fromUtf8(text).replace(physical, pixels).toUtf8();
}

ExportResult CrossSectionPicture::write(const QString& fileName) const {
    const QString shown = QDir::toNativeSeparators(fileName);
    QString problem;
    if (!canDraw(&problem))
        return ExportResult::failure(QStringLiteral("Could not write %1: %2").arg(shown, problem));
    if (QFileInfo(fileName).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) != 0)
        return ImageExporter::write(image(), fileName);
    SaveFileSet files;
    Util::SaveFile* file = files.open(fileName);
    if (file)
        files.write(file, svg());
    if (!files.commit())
        return ExportResult::failure(files.error());
    return {true, {fileName}, {}};
}

} // namespace Model::Export
