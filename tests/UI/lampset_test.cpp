#include "UI/lampset.h"

#include <QtMath>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::LampSet;

TEST(LampSet, StartsWithOneVisibleLampAboveTheScene) {
    LampSet lamps;
    EXPECT_EQ(lamps.count, 1);
    EXPECT_EQ(lamps.activeLamp, 0);
    EXPECT_TRUE(lamps.visible[0]);
    const double c = 300 * std::cos(M_PI / 4);
    EXPECT_NEAR(lamps.position[0][0], c * 0.5, 1e-3);
    EXPECT_NEAR(lamps.position[0][1], c * std::sqrt(3.0) / 2, 1e-3);
    EXPECT_NEAR(lamps.position[0][2], 300 * std::sin(M_PI / 4), 1e-3);
    EXPECT_EQ(lamps.position[0][3], 1.0f);
}

TEST(LampSet, SwitchingWalksThroughEveryLampAndBackToNone) {
    LampSet lamps;
    lamps.switchActive();
    EXPECT_EQ(lamps.activeLamp, 1);
    lamps.switchActive();
    EXPECT_EQ(lamps.activeLamp, 0);
    lamps.addLamp();
    for (int expected : {1, 2, 0, 1}) {
        lamps.switchActive();
        EXPECT_EQ(lamps.activeLamp, expected);
    }
}

TEST(LampSet, AtMostEightAndNeverFewerThanOne) {
    LampSet lamps;
    EXPECT_FALSE(lamps.removeLamp(1));
    for (int i = 2; i <= 8; ++i)
        EXPECT_TRUE(lamps.addLamp());
    EXPECT_FALSE(lamps.addLamp());
    EXPECT_EQ(lamps.count, 8);
    EXPECT_EQ(lamps.radius[7], 0.0f);
    EXPECT_TRUE(lamps.visible[7]);

    lamps.setRadius(3, 42.0f);
    lamps.activeLamp = 8;
    EXPECT_TRUE(lamps.removeLamp(2));
    EXPECT_EQ(lamps.count, 7);
    EXPECT_EQ(lamps.radius[1], 42.0f) << "later lamps move down";
    EXPECT_EQ(lamps.activeLamp, 0) << "the active lamp no longer exists";
    EXPECT_FALSE(lamps.visible[7]);
}

TEST(LampSet, IndicesOutsideTheSetChangeNothing) {
    LampSet lamps;
    const LampSet before = lamps;
    lamps.setRadius(2, 10.0f);
    lamps.setAngles(0, 1.0f, 1.0f);
    lamps.scaleRadius(9, 2.0f, true);
    EXPECT_EQ(lamps.radius, before.radius);
    EXPECT_EQ(lamps.azimuth, before.azimuth);
}

TEST(LampSet, WheelStepsOnTheRadius) {
    LampSet lamps;
    lamps.scaleRadius(1, 1.1f, true);
    EXPECT_FLOAT_EQ(lamps.radius[0], 330.0f);
    lamps.setRadius(1, 0.5f);
    lamps.scaleRadius(1, 1.1f, true);
    EXPECT_FLOAT_EQ(lamps.radius[0], 2.0f) << "below 1 a forward step jumps to 2";
    lamps.setRadius(1, 0.5f);
    lamps.scaleRadius(1, 1.0f / 1.1f, false);
    EXPECT_FLOAT_EQ(lamps.radius[0], 0.0f);
    lamps.setRadius(1, 1.0f);
    lamps.scaleRadius(1, 1.0f / 1.1f, false);
    EXPECT_FLOAT_EQ(lamps.radius[0], 1.0f / 1.1f);
    EXPECT_NEAR(lamps.position[0][2], lamps.radius[0] * std::sin(M_PI / 4), 1e-5);
}

} // namespace CELLVANE_TEST_FILE
