#include "UI/trackball.h"

#include <QtMath>
#include <algorithm>
#include <cmath>

namespace Ui {

void Trackball::resize(int newWidth, int newHeight) {
    width = std::max(newWidth, 1);
    height = std::max(newHeight, 1);
    radius = std::min(width, height) / 2.0f;
}

QVector3D Trackball::centred(const QPoint& p) const {
    return QVector3D(p.x() - width / 2.0f, height / 2.0f - p.y(), 0.0f);
}

QVector3D Trackball::lift(float x, float y) const {
    const double w = width;
    const double h = height;
    const double inside = 1.0 - 4.0 * x * x / (w * w) - 4.0 * y * y / (h * h);
    const double z = inside < 0.0 ? 0.0 : std::sqrt(inside * (w + h) * (w + h) / 4.0);
    return QVector3D(x, y, float(z));
}

bool Trackball::rotationBetween(const QVector3D& a, const QVector3D& b, QVector3D& axis,
                                float& degrees) {
    const QVector3D cross = QVector3D::crossProduct(a, b);
    const double crossLength = cross.length();
    const double lengths = double(a.length()) * b.length();
    if (crossLength <= 0.0 || lengths <= 0.0)
        return false;
    axis = cross / float(crossLength);
    const double sine = std::clamp(crossLength / lengths, -1.0, 1.0);
    degrees = float(std::asin(sine) * 180.0 / M_PI);
    return true;
}

void Trackball::sphereAngles(float x, float y, float& azimuth, float& elevation) const {
    const double planar2 = double(x) * x + double(y) * y;
    const double z2 = double(radius) * radius - planar2;
    const double z = z2 > 0.0 ? std::sqrt(z2) : 0.0;
    azimuth = float(std::atan2(y, x));
    elevation = float(std::atan2(z, std::sqrt(planar2)));
}

void Trackball::press(const QPoint& widgetPosition, Mode newMode) {
    mode = newMode;
    pressPoint = centred(widgetPosition);
    last = pressPoint;
    current = pressPoint;
}

QVector3D Trackball::moveTo(const QPoint& widgetPosition) {
    last = current;
    current = centred(widgetPosition);
    return current - last;
}

} // namespace Ui
