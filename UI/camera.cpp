#include "UI/camera.h"

#include <QMatrix4x4>
#include <QVector3D>
#include <QtMath>
#include <qopengl.h>

#include <cmath>

namespace Ui {

namespace {

constexpr double degreesPerRadian = 180.0 / M_PI;

QMatrix4x4 toMatrix(const std::array<float, 16>& columnMajor) {
    // QMatrix4x4's array constructor reads row-major values.
    return QMatrix4x4(columnMajor.data()).transposed();
}

} // namespace

Camera::Camera() {
    setAngles(0.0f, 0.0f, 0.0f);
}

void Camera::setAngles(float x, float y, float z) {
    angles = {x, y, z};
    QMatrix4x4 m;
    m.rotate(x, 1.0f, 0.0f, 0.0f);
    m.rotate(y, 0.0f, 1.0f, 0.0f);
    m.rotate(z, 0.0f, 0.0f, 1.0f);
    const float* data = m.constData();
    std::copy(data, data + 16, rotationMatrix.begin());
    updateWorldOffset();
}

void Camera::rotate(float degrees, const std::array<float, 3>& eyeAxis) {
    QMatrix4x4 step;
    step.rotate(degrees, eyeAxis[0], eyeAxis[1], eyeAxis[2]);
    const QMatrix4x4 combined = step * toMatrix(rotationMatrix);
    const float* m = combined.constData();
    const double x = -std::atan2(m[9], m[10]);
    const double y = std::atan2(m[8], std::sqrt(double(m[9]) * m[9] + double(m[10]) * m[10]));
    const double z = -std::atan2(m[4], m[0]);
    setAngles(float(x * degreesPerRadian), float(y * degreesPerRadian),
              float(z * degreesPerRadian));
}

void Camera::setViewOffset(float x, float y) {
    viewOffset = {x, y};
    updateWorldOffset();
}

std::array<float, 3> Camera::toWorld(float screenX, float screenY) const {
    // The rotation is orthonormal, so its transpose takes eye axes back to world axes.
    const QVector3D world =
        toMatrix(rotationMatrix).transposed().mapVector(QVector3D(screenX, screenY, 0.0f));
    return {world.x(), world.y(), world.z()};
}

void Camera::updateWorldOffset() {
    worldOffset = toWorld(viewOffset[0], viewOffset[1]);
}

void Camera::apply() const {
    glLoadIdentity();
    glRotatef(angles[0], 1.0f, 0.0f, 0.0f);
    glRotatef(angles[1], 0.0f, 1.0f, 0.0f);
    glRotatef(angles[2], 0.0f, 0.0f, 1.0f);
    glTranslatef(translation[0], translation[1], translation[2]);
    glTranslatef(worldOffset[0], worldOffset[1], worldOffset[2]);
}

} // namespace Ui
