#include "Model/Materials/material.h"
#include "support/qtprinters.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;

TEST(Material, DefaultIsTheEmptyMaterial) {
    const Material empty;
    EXPECT_EQ(empty.getId(), 0u);
    EXPECT_EQ(empty.getName(), QStringLiteral("Empty"));
    EXPECT_EQ(empty.getDensity(), 0.f);
    EXPECT_EQ(empty.getYoungModulus(), 0.f);
    EXPECT_EQ(empty.getPoissonRatio(), 0.f);
    const Util::Vector4D color = empty.getColor();
    EXPECT_DOUBLE_EQ(color.x, 0.5);
    EXPECT_DOUBLE_EQ(color.y, 0.5);
    EXPECT_DOUBLE_EQ(color.z, 0.5);
    EXPECT_DOUBLE_EQ(color.w, 1.0);

    const Material noColour(7, QStringLiteral("Ni"), 1.f, 2.f, 3.f);
    EXPECT_FLOAT_EQ(noColour.getBlue(), 0.5f);
    EXPECT_FLOAT_EQ(noColour.getAlpha(), 1.f);
}

TEST(Material, EqualityComparesIdNameAndColourWithinOneChannelStep) {
    const Material a(5, QStringLiteral("Cu (bulk)"), 8960.f, 1.28e11f, 0.36f,
                     Util::Vector4D(1.0, 0.8, 0.3, 1.0));
    Material b = a;
    b.setDensity(1.f);
    b.setYoungModulus(1.f);
    b.setPoissonRatio(0.f);
    EXPECT_EQ(a, b) << "the constants do not take part";

    b.setColor(1.f - 1.f / 256.f, 0.8f, 0.3f, 1.f);
    EXPECT_EQ(a, b) << "a difference of exactly 1/256 is still equal";
    b.setColor(1.f - 1.f / 200.f, 0.8f, 0.3f, 1.f);
    EXPECT_NE(a, b);
    b.setColor(1.f, 0.8f, 0.3f, 0.99f);
    EXPECT_NE(a, b) << "alpha takes part";

    Material renamed = a;
    renamed.setName(QStringLiteral("cu (bulk)"));
    EXPECT_NE(a, renamed) << "names compare case-sensitively";
    Material otherId = a;
    otherId.setId(6);
    EXPECT_NE(a, otherId);
}

} // namespace CELLVANE_TEST_FILE
