#include "Util/version.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

// The version names the package file and sorts package versions, so it must stay a valid
// Debian version: the project's version, then for a checkout "+" commits "." commit.
TEST(Version, IsTheProjectVersionWithTheCheckoutsCommit) {
    const QRegularExpression form(
        QStringLiteral("^[0-9]+\\.[0-9]+(\\.[0-9]+)?(\\+[0-9]+\\.g[0-9a-f]{7,}(\\.dirty)?)?$"));
    EXPECT_TRUE(form.match(Util::version()).hasMatch()) << Util::version().toStdString();
}

} // namespace CELLVANE_TEST_FILE
