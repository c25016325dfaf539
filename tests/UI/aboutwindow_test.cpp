#include "UI/aboutwindow.h"
#include "Util/version.h"

#include <gtest/gtest.h>

TEST(AboutWindow, ShowsTheVersionOfThisBuild) {
    Ui::AboutWindow about;
    EXPECT_EQ(about.versionText(), QStringLiteral("Version ") + Util::version());
    EXPECT_TRUE(about.text().contains(QStringLiteral("LGPL")));
}
