#pragma once

#include "Model/Export/crosssection.h"
#include "Model/Export/savefileset.h"
#include "Model/Metrology/dimension.h"

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;

namespace Model::Export {

// A cross-section as a picture for a report: every cell of the plane in its material's colour
// from the registry, thin lines where materials meet, axis ticks and a scale bar in
// micrometres, a legend of the materials present and, optionally, measured dimensions as
// arrows with their values. One drawing routine paints the PNG and the SVG alike, so the two
// files show the same picture at the same size.
//
// Cells are scaled to a whole number of pixels (several per cell for small sections, one for
// large ones), so that a PNG shows every cell as a crisp block; only sections too large for
// any sensible picture get less than a pixel per cell. Drawing text needs the graphics system
// of a QGuiApplication (the offscreen platform will do); without it nothing is drawn.
class CrossSectionPicture {
public:
    struct Options {
        // Pixels per cell edge (the shorter edge when cells are not square); 0 picks one so
        // that the longer side of the plot is about `targetPlotSide` pixels.
        int pixelsPerCell = 0;
        // Dimensions measured in the volume; those lying in the plane's layer of cells are
        // drawn, the others are left out.
        std::vector<Metrology::Dimension> dimensions;
    };

    // The longer side of the plot when the cell scale is chosen automatically.
    static constexpr int targetPlotSide = 800;
    // Sections larger than this many pixels per side are drawn below a pixel per cell.
    static constexpr int maximumPlotSide = 4000;
    static constexpr int largestPixelsPerCell = 64;

    CrossSectionPicture(CrossSection section, Options options);

    QSize size() const { return pictureSize; }
    void paint(QPainter& painter) const;
    // Null when there is no graphics system to draw text with.
    QImage image() const;
    // Empty when there is no graphics system to draw text with.
    QByteArray svg() const;

    // Writes an SVG file for the suffix ".svg", a raster image otherwise (PNG when the name
    // has no suffix). The file is replaced only once the picture is complete.
    ExportResult write(const QString& fileName) const;

    // Where the plane point (horizontal, vertical), in micrometres, lies in the picture.
    QPointF toPicture(double horizontal, double vertical) const;
    // The dimensions the picture draws, projected onto the plane (horizontal, vertical).
    struct PlacedDimension {
        QPointF from;
        QPointF to;
        QString text;
        bool isAngle = false;
    };
    const std::vector<PlacedDimension>& placedDimensions() const { return placed; }
    QRectF plotRect() const { return plot; }
    double pixelsPerMicrometre() const { return scale; }

    // Whether pictures with text can be drawn in this process.
    static bool canDraw(QString* problem = nullptr);

private:
    // "Cross-section at y = 12.5 µm (cell layer 12)".
    QString heading() const;
    void layOut();
    void placeDimensions(const std::vector<Metrology::Dimension>& dimensions);
    void paintCells(QPainter& painter) const;
    void paintMaterialBoundaries(QPainter& painter) const;
    void paintAxes(QPainter& painter) const;
    void paintLegend(QPainter& painter) const;
    void paintScaleBar(QPainter& painter) const;
    void paintDimensions(QPainter& painter) const;

    CrossSection section;
    Options options;
    std::vector<std::uint32_t> legendMaterials;
    std::vector<PlacedDimension> placed;
    double scale = 1.0;
    double horizontalStep = 1.0;
    double verticalStep = 1.0;
    double scaleBarLength = 1.0;
    QRectF plot;
    QRectF legend;
    QRectF scaleBar;
    QSize pictureSize;
};

} // namespace Model::Export
