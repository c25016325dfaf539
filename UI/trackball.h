#pragma once

#include <QPoint>
#include <QVector3D>

namespace Ui {

// Mouse state of the view. Points are widget positions moved to the widget centre with y
// upwards; rotations lift them onto an ellipsoid that fills the widget.
class Trackball {
public:
    enum class Mode { None, Rotate, Pan, MoveDocument, AimLamp };

    void resize(int width, int height);
    int getWidth() const { return width; }
    int getHeight() const { return height; }
    float getRadius() const { return radius; }

    // Widget position (y downwards, origin top left) to centred coordinates, z = 0.
    QVector3D centred(const QPoint& widgetPosition) const;
    // Lifts a centred point onto the ellipsoid with semi-axes width/2 and height/2.
    QVector3D lift(float x, float y) const;
    // The rotation that carries a onto b: unit axis and angle in degrees; false when the two
    // are parallel (nothing to rotate).
    static bool rotationBetween(const QVector3D& a, const QVector3D& b, QVector3D& axis,
                                float& degrees);
    // Azimuth and elevation (radians) of a centred point lifted onto the sphere of radius
    // min(width, height)/2.
    void sphereAngles(float x, float y, float& azimuth, float& elevation) const;

    void press(const QPoint& widgetPosition, Mode newMode);
    // Moves on; returns the centred delta since the previous point.
    QVector3D moveTo(const QPoint& widgetPosition);
    void release() { mode = Mode::None; }

    Mode getMode() const { return mode; }
    QVector3D getLast() const { return last; }
    QVector3D getCurrent() const { return current; }
    QVector3D getPressPoint() const { return pressPoint; }

private:
    QVector3D last;
    QVector3D current;
    QVector3D pressPoint;
    Mode mode = Mode::None;
    int width = 1;
    int height = 1;
    float radius = 0.5f;
};

} // namespace Ui
