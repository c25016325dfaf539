// Mask images as the photolithography dialog loads them: an image it accepts gives a mask of
// one bit per pixel that comes back the same from a black-and-white image of itself; an image
// it refuses leaves the dialog's mask as it was.

#include "fuzzsupport.h"

#include "Model/Automaton/photomask.h"

#include <QImage>

using Model::Automaton::PhotoMask;

namespace {

// Decoding takes time in proportion to the pixels, and the program accepts up to
// PhotoMask::maximumPixels of them on purpose: a few bytes of compressed image can make a
// legitimate input that takes seconds. Larger images than this are left out, except those the
// program refuses from their header alone.
constexpr std::uint64_t decodedPixels = std::uint64_t(1) << 20;

QImage imageOf(const PhotoMask& mask) {
    QImage image(int(mask.width), int(mask.height), QImage::Format_RGB32);
    for (unsigned x = 0; x < mask.width; ++x) {
        for (unsigned y = 0; y < mask.height; ++y) {
            const bool opaque = mask.bits[std::size_t(x) * mask.height + y];
            image.setPixel(int(x), int(mask.height - 1 - y),
                           opaque ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // No suffix: the reader tells the format from the content, as for a renamed file.
    static const QString path = Fuzz::scratchPath(QStringLiteral("mask"));
    Fuzz::writeFile(path, Fuzz::bytesOf(data, size));
    {
        const QSize claimed = PhotoMask::decodedSize(path);
        const std::uint64_t pixels =
            claimed.isValid() ? std::uint64_t(claimed.width()) * std::uint64_t(claimed.height())
                              : 0;
        if (pixels > decodedPixels && pixels <= PhotoMask::maximumPixels)
            return 0;
    }

    PhotoMask mask;
    mask.width = 1;
    mask.height = 2;
    mask.bits = {true, false};
    const PhotoMask earlier = mask;
    if (!PhotoMask::load(path, mask)) {
        FUZZ_CHECK(mask == earlier, "a refused image changed the mask");
        return 0;
    }
    FUZZ_CHECK(mask.isConsistent() && mask.width > 0 && mask.height > 0,
               "an accepted image gave a mask whose bits do not match its size");
    FUZZ_CHECK(std::uint64_t(mask.width) * mask.height <= PhotoMask::maximumPixels,
               "an image above the pixel limit was accepted");

    static const QString again = Fuzz::scratchPath(QStringLiteral("again.png"));
    FUZZ_CHECK(imageOf(mask).save(again, "PNG"), "a mask could not be written as an image");
    PhotoMask reread;
    FUZZ_CHECK(PhotoMask::load(again, reread) && reread == mask,
               "a mask written as an image came back different");
    return 0;
}
