#include "UI/aboutwindow.h"
#include "Util/version.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

TEST(AboutWindow, ShowsTheVersionOfThisBuild) {
    Ui::AboutWindow about;
    EXPECT_EQ(about.versionText(), QStringLiteral("Version ") + Util::version());
    EXPECT_TRUE(about.text().contains(QStringLiteral("LGPL")));
}

} // namespace CELLVANE_TEST_FILE
