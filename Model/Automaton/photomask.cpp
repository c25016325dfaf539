#include "Model/Automaton/photomask.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>

namespace Model::Automaton {

namespace {
Q_LOGGING_CATEGORY(lcPhotoMask, "Model/Automaton/photomask", QtInfoMsg)

bool isAffordable(const QSize& size) {
    return size.width() > 0 && size.height() > 0 &&
           std::uint64_t(size.width()) * std::uint64_t(size.height()) <= PhotoMask::maximumPixels;
}
// A GIF's frames are drawn on a "logical screen" that the decoder allocates whole, while the
// reader reports only the first frame's size: thirty bytes can claim a screen of 727 MB.
// Invalid when the file is no GIF.
QSize gifScreenSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(10);
    if (head.size() < 10 || !(head.startsWith("GIF87a") || head.startsWith("GIF89a")))
        return {};
    const auto byte = [&head](int i) { return int(static_cast<unsigned char>(head[i])); };
    return QSize(byte(6) | byte(7) << 8, byte(8) | byte(9) << 8);
}

} // namespace

PhotoMask PhotoMask::fromImage(const QImage& image, std::uint64_t* otherPixels) {
    PhotoMask mask;
    if (otherPixels)
        *otherPixels = 0;
    if (image.isNull())
        return mask;
    // Compare colours as stored, not premultiplied and not through a palette.
    const QImage pixels =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
            ? image
            : image.convertToFormat(QImage::Format_ARGB32);
    mask.width = unsigned(pixels.width());
    mask.height = unsigned(pixels.height());
    mask.bits.assign(std::size_t(mask.width) * mask.height, false);
    for (unsigned row = 0; row < mask.height; ++row) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(int(row)));
        const unsigned y = mask.height - 1 - row;
        for (unsigned x = 0; x < mask.width; ++x) {
            const QRgb rgb = line[x] & 0xffffffu;
            if (rgb == 0x000000u || rgb == 0xff0000u)
                mask.bits[std::size_t(x) * mask.height + y] = true;
            else if (otherPixels && rgb != 0xffffffu)
                ++*otherPixels;
        }
    }
    return mask;
}

QSize PhotoMask::decodedSize(const QString& path) {
    const QSize size = QImageReader(path).size();
    // A GIF's screen grows to hold its first frame.
    const QSize screen = gifScreenSize(path);
    if (screen.isValid())
        return size.isValid() ? size.expandedTo(screen) : screen;
    return size;
}

bool PhotoMask::load(const QString& path, PhotoMask& mask, std::uint64_t* otherPixels) {
    QImageReader reader(path);
    // The size comes from the file's header, so a huge image is refused before it is decoded.
    const QSize size = decodedSize(path);
    if (!reader.canRead() || (size.isValid() && !isAffordable(size))) {
        qCDebug(lcPhotoMask) << "Cannot use" << path << "as a mask:" << reader.errorString()
                             << size;
        return false;
    }
    const QImage image = reader.read();
    if (image.isNull() || !isAffordable(image.size())) {
        qCDebug(lcPhotoMask) << "Cannot read" << path << "as a mask:" << reader.errorString();
        return false;
    }
    mask = fromImage(image, otherPixels);
    return true;
}

} // namespace Model::Automaton
