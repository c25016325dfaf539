#pragma once

#include "Util/vector4d.h"

#include <array>
#include <vector>

namespace Ui {

// The ground grid of the view: lines on whole multiples of the spacing covering a rectangle.
struct Grid {
    // Beyond this many lines in one direction the grid would be a solid fill that takes
    // seconds to draw; it is left out instead.
    static constexpr long maxLinesPerDirection = 20000;

    float xmin = -300.0f;
    float ymin = -300.0f;
    float xmax = 300.0f;
    float ymax = 300.0f;
    float height = 0.0f;
    double spacing = 10.0;

    void resetRectangle();
    // Each line as x1, y1, x2, y2; empty for a spacing that is not positive or far too fine.
    std::vector<std::array<float, 4>> lines() const;
    void draw(const Util::Vector4D& color) const;
};

} // namespace Ui
