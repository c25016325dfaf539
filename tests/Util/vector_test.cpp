#include "Util/vector3d.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Util::Vector3D;
using Util::Vector4D;

TEST(Vector, IndexBeyondZGivesW) {
    Vector4D v(1, 2, 3, 4);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[3], 4);
    EXPECT_EQ(v[7], 4);
    EXPECT_EQ(v[-1], 4);
    v[9] = 8;
    EXPECT_EQ(v.w, 8);
}

TEST(Vector, ArithmeticUsesAllFourComponents) {
    const Vector4D a(1, 2, 3, 4), b(10, 20, 30, 40);
    const Vector4D sum = a + b;
    const Vector4D diff = b - a;
    const Vector4D scaled = 2.0 * a;
    EXPECT_EQ(sum.w, 44);
    EXPECT_EQ(diff.x, 9);
    EXPECT_EQ(scaled.w, 8);
    Vector4D c = a;
    c += b;
    EXPECT_EQ(c.z, 33);
}

TEST(Vector, CopyOfThreeKeepsW) {
    Vector4D target(0, 0, 0, 7);
    target.copy3(Vector4D(1, 2, 3, 4));
    EXPECT_EQ(target.x, 1);
    EXPECT_EQ(target.w, 7);
    target.copy(Vector4D(5, 6, 7, 8));
    EXPECT_EQ(target.w, 8);
}

TEST(Vector, ThreeDimensionalVectorsKeepWAtZero) {
    EXPECT_EQ(Vector3D(5).w, 0);
    EXPECT_EQ(Vector3D(5).y, 5);
    EXPECT_EQ(Vector3D(1, 2, 3).w, 0);
    const Vector3D fromFour(Vector4D(1, 2, 3, 4));
    EXPECT_EQ(fromFour.z, 3);
    EXPECT_EQ(fromFour.w, 0);
    EXPECT_EQ(Vector4D(2).w, 2);
}

} // namespace CELLVANE_TEST_FILE
