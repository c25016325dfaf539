#pragma once

#include "Core/Study/studyresults.h"

#include <QString>

namespace Ui {

// Draws one plot of a study's results with Qt Charts, without a window: one line with its
// points per series, axes named after the parameter and the metric. Needs a QApplication (the
// chart is a graphics widget), which may run on the offscreen platform.
class StudyPlot {
public:
    static constexpr int width = 800;
    static constexpr int height = 520;

    // Writes `base`.png and `base`.svg, each whole or not at all. False, with the reason,
    // when one cannot be written.
    static bool write(const Core::Study::StudyResults::Plot& plot, const QString& base,
                      QString& problem);
};

} // namespace Ui
