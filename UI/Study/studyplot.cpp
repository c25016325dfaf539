#include "UI/Study/studyplot.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <limits>

namespace Ui {

namespace {

// Axis limits with a margin, and some width when every value is the same.
std::pair<double, double> spanOf(double low, double high) {
    if (!(low <= high))
        return {0, 1};
    const double margin = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(low) * 0.1);
    return {low - margin, high + margin};
}

} // namespace

bool StudyPlot::write(const Core::Study::StudyResults::Plot& plot, const QString& base,
                      QString& problem) {
    // The scene owns the chart, and the chart its series and axes.
    QGraphicsScene scene;
    auto* chart = new QtCharts::QChart;
    scene.addItem(chart);
    chart->setAnimationOptions(QtCharts::QChart::NoAnimation);
    chart->setTitle(plot.title);
    chart->setBackgroundRoundness(0);
    chart->legend()->setVisible(plot.series.size() > 1);
    chart->legend()->setAlignment(Qt::AlignRight);

    auto* xAxis = new QtCharts::QValueAxis;
    auto* yAxis = new QtCharts::QValueAxis;
    xAxis->setTitleText(plot.xLabel);
    yAxis->setTitleText(plot.yLabel);
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    double xLow = std::numeric_limits<double>::infinity(), xHigh = -xLow;
    double yLow = xLow, yHigh = -xLow;
    for (const auto& line : plot.series) {
        auto* series = new QtCharts::QLineSeries;
        series->setName(line.name);
        series->setPointsVisible(true);
        for (const auto& [x, y] : line.points) {
            series->append(x, y);
            xLow = std::min(xLow, x);
            xHigh = std::max(xHigh, x);
            yLow = std::min(yLow, y);
            yHigh = std::max(yHigh, y);
        }
        chart->addSeries(series);
        series->attachAxis(xAxis);
        series->attachAxis(yAxis);
    }
    const auto [x0, x1] = spanOf(xLow, xHigh);
    const auto [y0, y1] = spanOf(yLow, yHigh);
    xAxis->setRange(x0, x1);
    yAxis->setRange(y0, y1);
    xAxis->applyNiceNumbers();
    yAxis->applyNiceNumbers();

    const QRectF area(0, 0, width, height);
    chart->setGeometry(area);
    chart->layout()->activate();
    // The chart places its series and labels on posted layout events.
    QCoreApplication::processEvents();

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter, area, area);
    }
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            problem = QStringLiteral("cannot draw the plot %1").arg(plot.title);
            return false;
        }
    }
    QByteArray svg;
    {
        QBuffer buffer(&svg);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(width, height));
        generator.setViewBox(area);
        generator.setTitle(plot.title);
        QPainter painter(&generator);
        scene.render(&painter, area, area);
    }
    return Core::Study::writeWhole(base + QStringLiteral(".png"), png, problem) &&
           Core::Study::writeWhole(base + QStringLiteral(".svg"), svg, problem);
}

} // namespace Ui
