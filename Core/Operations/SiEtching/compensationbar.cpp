#include "Core/Operations/SiEtching/compensationbar.h"

#include <algorithm>
#include <cmath>

namespace Core::Operations {

double barEndRecessionRatio(const PlaneRates& rates) {
    const double along110 = 2.0 * rates.r110;
    const double along311 = std::sqrt(22.0) / 2.0 * rates.r311;
    return std::max(along110, along311) / rates.r100;
}

double compensationBarLength(const PlaneRates& rates, double depth) {
    return barEndRecessionRatio(rates) * depth;
}

Model::Automaton::PhotoMask compensatedMesaMask(unsigned width, unsigned height, const QRect& mesa,
                                                int barLength, int barWidth) {
    Model::Automaton::PhotoMask mask;
    mask.width = width;
    mask.height = height;
    mask.bits.assign(std::size_t(width) * height, false);
    // Half-open boxes [x0, x1) x [y0, y1), clipped to the mask.
    const auto cover = [&](long x0, long y0, long x1, long y1) {
        x0 = std::max(x0, 0L);
        y0 = std::max(y0, 0L);
        x1 = std::min(x1, long(width));
        y1 = std::min(y1, long(height));
        for (long x = x0; x < x1; ++x)
            for (long y = y0; y < y1; ++y)
                mask.bits[std::size_t(x) * height + std::size_t(y)] = true;
    };
    if (mesa.isEmpty())
        return mask;
    const long x0 = mesa.left(), y0 = mesa.top();
    const long x1 = x0 + mesa.width(), y1 = y0 + mesa.height();
    cover(x0, y0, x1, y1);
    const long length = barLength, across = std::min<long>({barWidth, mesa.width(), mesa.height()});
    if (length < 1 || across < 1)
        return mask;
    cover(x1, y1 - across, x1 + length, y1); // largest x and y: along +x
    cover(x0, y1, x0 + across, y1 + length); // smallest x, largest y: along +y
    cover(x0 - length, y0, x0, y0 + across); // smallest x and y: along -x
    cover(x1 - across, y0 - length, x1, y0); // largest x, smallest y: along -y
    return mask;
}

} // namespace Core::Operations
