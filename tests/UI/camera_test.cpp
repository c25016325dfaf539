#include "UI/camera.h"

#include <QMatrix4x4>
#include <cmath>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Camera;

namespace {

// Angles are equal when they describe the same turn: 180 and -180 degrees are one angle.
double turnDifference(double a, double b) {
    return std::remainder(a - b, 360.0);
}

void expectAngles(const Camera& camera, float x, float y, float z, float tolerance = 1e-3f) {
    EXPECT_NEAR(turnDifference(camera.angles[0], x), 0.0, tolerance);
    EXPECT_NEAR(turnDifference(camera.angles[1], y), 0.0, tolerance);
    EXPECT_NEAR(turnDifference(camera.angles[2], z), 0.0, tolerance);
}

} // namespace

TEST(Camera, AnglesSurviveTheRoundTripThroughTheMatrix) {
    const float cases[][3] = {{-60, 0, 30}, {10, 20, 30}, {-90, 0, 180}, {170, -45, -120}};
    for (const auto& c : cases) {
        Camera camera;
        camera.setAngles(c[0], c[1], c[2]);
        // A rotation by nothing re-derives the angles from the matrix.
        camera.rotate(0.0f, {0.0f, 0.0f, 1.0f});
        expectAngles(camera, c[0], c[1], c[2]);
    }
}

TEST(Camera, MatrixIsColumnMajorRotationOfTheAngles) {
    Camera camera;
    camera.setAngles(0, 0, 90);
    // Rotating (1,0,0) by 90 degrees about z gives (0,1,0): first column is (0,1,0).
    EXPECT_NEAR(camera.rotationMatrix[0], 0.0f, 1e-6);
    EXPECT_NEAR(camera.rotationMatrix[1], 1.0f, 1e-6);
    EXPECT_NEAR(camera.rotationMatrix[4], -1.0f, 1e-6);
}

TEST(Camera, RotationsComposeInEyeSpaceOnTopOfTheCurrentOne) {
    Camera camera;
    camera.rotate(30.0f, {0, 0, 1});
    camera.rotate(15.0f, {0, 0, 1});
    expectAngles(camera, 0, 0, 45);

    // From the top view a quarter turn about the screen's x axis tilts the scene like "front".
    Camera tilted;
    tilted.rotate(-90.0f, {1, 0, 0});
    expectAngles(tilted, -90, 0, 0);
    // Eye-space composition: after tilting, a turn about the eye's z axis is not a turn about
    // the document's z axis.
    tilted.rotate(90.0f, {0, 0, 1});
    EXPECT_GT(std::fabs(tilted.angles[1]) + std::fabs(tilted.angles[2] - 90.0f), 1.0f);
}

TEST(Camera, PanAndScreenDeltasAreTurnedIntoWorldAxes) {
    Camera camera;
    camera.setViewOffset(10, 0);
    EXPECT_NEAR(camera.worldOffset[0], 10, 1e-5);

    camera.setAngles(0, 0, 90);
    // With the scene turned by 90 degrees about z, screen right is world -y.
    EXPECT_NEAR(camera.worldOffset[0], 0, 1e-5);
    EXPECT_NEAR(camera.worldOffset[1], -10, 1e-5);
    const auto world = camera.toWorld(0, 5);
    EXPECT_NEAR(world[0], 5, 1e-5);
    EXPECT_NEAR(world[1], 0, 1e-5);

    camera.setAngles(-90, 0, 0);
    // Front view: screen up is world +z.
    const auto up = camera.toWorld(0, 1);
    EXPECT_NEAR(up[2], 1, 1e-5);
}

} // namespace CELLVANE_TEST_FILE
