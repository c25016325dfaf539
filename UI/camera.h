#pragma once

#include <array>

namespace Ui {

// Where the viewer stands. The rotation is kept twice: as the matrix the trackball composes
// onto, and as the three angles shown to the user and used for drawing; every change goes
// through setAngles() so the two never disagree.
struct Camera {
    Camera();

    // Pan in the screen plane, in world units.
    std::array<float, 2> viewOffset{0.0f, 0.0f};
    // viewOffset turned into world axes by the current rotation.
    std::array<float, 3> worldOffset{0.0f, 0.0f, 0.0f};
    // Column-major, as the graphics library stores it.
    std::array<float, 16> rotationMatrix{};
    // Rotation about x, y and z in degrees.
    std::array<float, 3> angles{0.0f, 0.0f, 0.0f};
    // Position of the document relative to the axes.
    std::array<float, 3> translation{0.0f, 0.0f, 0.0f};

    void setAngles(float x, float y, float z);
    // Rotates the scene about an axis given in eye coordinates, on top of the current rotation.
    void rotate(float degrees, const std::array<float, 3>& eyeAxis);
    void setViewOffset(float x, float y);
    // A displacement in the screen plane expressed in world axes.
    std::array<float, 3> toWorld(float screenX, float screenY) const;

    // Loads the modelview matrix: rotation by the angles, then translation and pan.
    void apply() const;

private:
    void updateWorldOffset();
};

} // namespace Ui
