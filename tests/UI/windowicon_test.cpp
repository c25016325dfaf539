#include "UI/windowicon.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

TEST(WindowIcon, MissingOrBrokenFilesGiveTheRedSquare) {
    QFile broken("broken.ico");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not an image");
    broken.close();
    for (const char* name : {"absent.ico", "broken.ico"}) {
        const QImage icon = Ui::loadWindowIcon(QString::fromLatin1(name)).toImage();
        EXPECT_EQ(icon.size(), QSize(32, 32)) << name;
        EXPECT_EQ(icon.pixelColor(0, 0), QColor(207, 8, 12, 255)) << name;
        EXPECT_EQ(icon.pixelColor(31, 31), QColor(207, 8, 12, 255)) << name;
    }
}

TEST(WindowIcon, AReadableFileIsScaledTo32Pixels) {
    QImage blue(64, 64, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save("icon.png"));
    const QImage icon = Ui::loadWindowIcon("icon.png").toImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.pixelColor(16, 16), QColor(Qt::blue));
}

} // namespace CELLVANE_TEST_FILE
