#include "UI/trackball.h"

#include <QtMath>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::Trackball;

TEST(Trackball, PointsAreCentredWithYUpwards) {
    Trackball ball;
    ball.resize(200, 100);
    const QVector3D p = ball.centred(QPoint(150, 20));
    EXPECT_FLOAT_EQ(p.x(), 50.0f);
    EXPECT_FLOAT_EQ(p.y(), 30.0f);
    EXPECT_FLOAT_EQ(ball.getRadius(), 50.0f);
}

TEST(Trackball, LiftsOntoTheEllipsoidAndFlattensOutside) {
    Trackball ball;
    ball.resize(200, 100);
    EXPECT_FLOAT_EQ(ball.lift(0, 0).z(), 150.0f);
    // 1 - 4*2500/40000 - 0 = 0.75; z = sqrt(0.75 * 300^2 / 4)
    EXPECT_NEAR(ball.lift(50, 0).z(), std::sqrt(0.75 * 90000 / 4), 1e-3);
    EXPECT_FLOAT_EQ(ball.lift(150, 0).z(), 0.0f);
}

TEST(Trackball, RotationBetweenTwoPointsIsTheirAngle) {
    QVector3D axis;
    float degrees = 0;
    ASSERT_TRUE(Trackball::rotationBetween({1, 0, 0}, {0, 1, 0}, axis, degrees));
    EXPECT_NEAR(degrees, 90.0f, 1e-4);
    EXPECT_NEAR(axis.z(), 1.0f, 1e-6);
    ASSERT_TRUE(Trackball::rotationBetween({0, 0, 10}, {0, 1, 10}, axis, degrees));
    EXPECT_NEAR(degrees, std::asin(1 / std::sqrt(101.0)) * 180 / M_PI, 1e-4);
    EXPECT_NEAR(axis.x(), -1.0f, 1e-6) << "moving up turns the scene about -x";
    EXPECT_FALSE(Trackball::rotationBetween({1, 2, 3}, {2, 4, 6}, axis, degrees));
    EXPECT_FALSE(Trackball::rotationBetween({0, 0, 0}, {1, 0, 0}, axis, degrees));
}

TEST(Trackball, SphereAnglesAimLamps) {
    Trackball ball;
    ball.resize(200, 200);
    float azimuth = 0, elevation = 0;
    ball.sphereAngles(0, 0, azimuth, elevation);
    EXPECT_NEAR(elevation, M_PI / 2, 1e-6);
    ball.sphereAngles(-100, 0, azimuth, elevation);
    EXPECT_NEAR(azimuth, M_PI, 1e-6);
    EXPECT_NEAR(elevation, 0, 1e-6);
    ball.sphereAngles(300, 300, azimuth, elevation);
    EXPECT_NEAR(azimuth, M_PI / 4, 1e-6);
    EXPECT_NEAR(elevation, 0, 1e-6) << "outside the sphere lamps stay on the horizon";
}

} // namespace CELLVANE_TEST_FILE
