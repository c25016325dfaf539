#include "UI/grid.h"

#include <qopengl.h>

#include <cmath>

namespace Ui {

void Grid::resetRectangle() {
    xmin = -300.0f;
    ymin = -300.0f;
    xmax = 300.0f;
    ymax = 300.0f;
}

std::vector<std::array<float, 4>> Grid::lines() const {
    std::vector<std::array<float, 4>> result;
    const double s = spacing;
    if (!(s > 0.0) || !std::isfinite(s))
        return result;
    const double xCount = std::ceil((double(xmax) - xmin) / s);
    const double yCount = std::ceil((double(ymax) - ymin) / s);
    if (!(xCount >= 0.0 && yCount >= 0.0) || xCount >= maxLinesPerDirection ||
        yCount >= maxLinesPerDirection)
        return result;
    const double x0 = s * std::floor(xmin / s);
    const double x1 = s * std::ceil(xmax / s);
    const double y0 = s * std::floor(ymin / s);
    const double y1 = s * std::ceil(ymax / s);
    result.reserve(std::size_t(xCount + yCount + 2));
    for (long i = 0; i <= long(xCount); ++i) {
        const float x = float(s * (std::floor(xmin / s) + i));
        result.push_back({x, float(y0), x, float(y1)});
    }
    for (long j = 0; j <= long(yCount); ++j) {
        const float y = float(s * (std::floor(ymin / s) + j));
        result.push_back({float(x0), y, float(x1), y});
    }
    return result;
}

void Grid::draw(const Util::Vector4D& color) const {
    const auto gridLines = lines();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glColor3d(color.x, color.y, color.z);
    glBegin(GL_LINES);
    for (const auto& line : gridLines) {
        glVertex3f(line[0], line[1], height);
        glVertex3f(line[2], line[3], height);
    }
    glEnd();
    glPopAttrib();
}

} // namespace Ui
