#pragma once

#include <QMetaType>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

class QImage;

namespace Model::Automaton {

// A photolithography mask: one bit per cell column, set where the mask is opaque. The bit of
// column x (0 <= x < width) and row y (0 <= y < height) is bit x * height + y; the cell volume
// stores its masks and the development engine reads them in this layout.
struct PhotoMask {
    std::vector<bool> bits;
    unsigned width = 0;
    unsigned height = 0;

    // A mask whose bit count does not match its size is treated as open everywhere.
    bool isConsistent() const { return bits.size() == std::uint64_t(width) * height; }

    bool operator==(const PhotoMask& other) const {
        return width == other.width && height == other.height && bits == other.bits;
    }
    bool operator!=(const PhotoMask& other) const { return !(*this == other); }

    // Images with more pixels are refused before they are decoded: a mask is one pixel per
    // cell column, and an image this large would take hundreds of megabytes just to decode.
    static constexpr std::uint64_t maximumPixels = std::uint64_t(1) << 26;

    // One pixel per column, no scaling: a pixel of pure black or pure red (alpha ignored) is
    // opaque, every other colour lets light through. Image rows count from the top, mask rows
    // from the bottom, so the image's bottom-left pixel covers column (0, 0). `otherPixels`,
    // when given, counts the pixels that are neither black, red nor white: a grey meant as
    // opaque would otherwise silently be taken as open.
    static PhotoMask fromImage(const QImage& image, std::uint64_t* otherPixels = nullptr);

    // Reads and converts an image file. False, with `mask` untouched, when the file is
    // missing, unreadable, not an image, empty or larger than maximumPixels.
    static bool load(const QString& path, PhotoMask& mask, std::uint64_t* otherPixels = nullptr);
    // The picture the decoder will allocate for the image in the file, as its header tells;
    // invalid when the header does not tell.
    static QSize decodedSize(const QString& path);
};

} // namespace Model::Automaton

// Masks travel in signals from the dialogs that choose them.
Q_DECLARE_METATYPE(Model::Automaton::PhotoMask)
