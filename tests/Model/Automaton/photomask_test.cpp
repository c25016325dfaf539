#include "Model/Automaton/photomask.h"
#include "support/mutations.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Automaton::PhotoMask;

namespace {

bool bit(const PhotoMask& mask, unsigned x, unsigned y) {
    return mask.bits[std::size_t(x) * mask.height + y];
}

// A 3 x 2 image, pixel (column, image row): the bottom row is black, red, dark grey; the top
// row white, translucent black, almost red.
QImage sampleImage(QImage::Format format) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.setPixel(0, 1, qRgb(0, 0, 0));
    image.setPixel(1, 1, qRgb(255, 0, 0));
    image.setPixel(2, 1, qRgb(1, 1, 1));
    image.setPixel(0, 0, qRgb(255, 255, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 40));
    image.setPixel(2, 0, qRgb(254, 0, 0));
    if (format == QImage::Format_Indexed8) {
        // A palette of exactly these colours, so that nothing is dithered.
        QVector<QRgb> palette;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x)
                palette << image.pixel(x, y);
        return image.convertToFormat(format, palette);
    }
    return image.convertToFormat(format);
}

// A bitmap header that claims a width x height image and holds no pixels.
QByteArray bitmapHeader(qint32 width, qint32 height) {
    QByteArray bytes(54, '\0');
    const qint32 fields[][2] = {{2, 54}, {10, 54}, {14, 40}, {18, width}, {22, height}};
    for (const auto& [at, value] : fields)
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char((value >> (8 * i)) & 0xff);
    bytes[0] = 'B';
    bytes[1] = 'M';
    bytes[26] = 1;  // planes
    bytes[28] = 24; // bits per pixel
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(PhotoMask, OnlyPureBlackAndPureRedAreOpaqueAndImageRowsRunFromTheBottom) {
    for (const QImage::Format format :
         {QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied,
          QImage::Format_RGB888, QImage::Format_Indexed8}) {
        std::uint64_t otherPixels = 99;
        const PhotoMask mask = PhotoMask::fromImage(sampleImage(format), &otherPixels);
        ASSERT_EQ(mask.width, 3u) << format;
        EXPECT_EQ(otherPixels, 2u) << "the dark grey and the almost red, which a user is warned of";
        ASSERT_EQ(mask.height, 2u);
        ASSERT_TRUE(mask.isConsistent());
        // Mask row 0 is the image's bottom row; bit index x * height + y.
        EXPECT_TRUE(bit(mask, 0, 0)) << "black, bottom-left pixel covers column (0, 0)";
        EXPECT_TRUE(bit(mask, 1, 0)) << "red";
        EXPECT_FALSE(bit(mask, 2, 0)) << "dark grey";
        EXPECT_FALSE(bit(mask, 0, 1)) << "white";
        EXPECT_FALSE(bit(mask, 2, 1)) << "almost red";
        EXPECT_TRUE(bit(mask, 1, 1)) << "alpha is ignored";
    }
    EXPECT_EQ(PhotoMask::fromImage(QImage()), PhotoMask());
}

TEST(PhotoMask, LoadReadsImageFilesAndRefusesEverythingElse) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath(QStringLiteral("mask.png"));
    ASSERT_TRUE(sampleImage(QImage::Format_RGB32).save(png));
    const QString bmp = dir.filePath(QStringLiteral("mask.bmp"));
    ASSERT_TRUE(sampleImage(QImage::Format_RGB32).save(bmp));

    PhotoMask mask;
    ASSERT_TRUE(PhotoMask::load(png, mask));
    EXPECT_EQ(mask, PhotoMask::fromImage(sampleImage(QImage::Format_RGB32)));
    PhotoMask fromBitmap;
    ASSERT_TRUE(PhotoMask::load(bmp, fromBitmap));
    EXPECT_EQ(fromBitmap, mask);

    const QString text = dir.filePath(QStringLiteral("notes.png"));
    ASSERT_TRUE(writeFile(text, "not an image at all"));
    const QString empty = dir.filePath(QStringLiteral("empty.png"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    const QString huge = dir.filePath(QStringLiteral("huge.bmp"));
    ASSERT_TRUE(writeFile(huge, bitmapHeader(100000, 100000)));
    // GIFs whose first frame is small but whose logical screen, which the decoder allocates
    // whole, is 13400 x 13578 pixels, or 13400 wide and grown to the frame's 8484 rows (both
    // found by the fuzzer: 727 and 454 MB, a second each).
    const QString screen = dir.filePath(QStringLiteral("screen.gif"));
    ASSERT_TRUE(writeFile(
        screen,
        QByteArray::fromHex("47494638396158340a352033d12c3800000122002400634e6f3765002634")));
    const QString grown = dir.filePath(QStringLiteral("grown.gif"));
    ASSERT_TRUE(writeFile(
        grown, QByteArray::fromHex("474946383961583400000122d12c3800000122002420634e6f6e650034")));
    const PhotoMask kept = mask;
    for (const QString& path : {dir.filePath(QStringLiteral("missing.png")), text, empty, huge,
                                screen, grown, dir.path(), QString()}) {
        EXPECT_FALSE(PhotoMask::load(path, mask)) << path.toStdString();
        EXPECT_EQ(mask, kept) << "a refused file leaves the mask as it was";
    }
}

TEST(PhotoMask, DamagedImageFilesNeverCrashAndLoadOnlyConsistentMasks) {
    QByteArray original;
    QBuffer buffer(&original);
    buffer.open(QIODevice::WriteOnly);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int x = 0; x < 40; x += 3)
        image.setPixel(x, x % 30, qRgb(0, 0, 0));
    ASSERT_TRUE(image.save(&buffer, "PNG"));

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("damaged.png"));
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.warning=false"));
    testing_support::FileMutator mutator(original);
    for (int copy = 0; copy < testing_support::FileMutator::copies(200); ++copy) {
        ASSERT_TRUE(writeFile(path, mutator.next()));
        PhotoMask mask;
        if (PhotoMask::load(path, mask)) {
            EXPECT_TRUE(mask.isConsistent()) << "copy " << copy;
            EXPECT_LE(std::uint64_t(mask.width) * mask.height, PhotoMask::maximumPixels);
        }
    }
    QLoggingCategory::setFilterRules(QString());
}

} // namespace CELLVANE_TEST_FILE
