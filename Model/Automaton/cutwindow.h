#pragma once

#include <algorithm>
#include <array>

namespace Model::Automaton {

// The box of cells a painter shows: min <= coordinate < max on every axis.
struct CutWindow {
    std::array<int, 3> min{0, 0, 0};
    std::array<int, 3> max{0, 0, 0};

    int extent(int axis) const { return max[std::size_t(axis)] - min[std::size_t(axis)]; }
    bool isEmpty() const { return extent(0) <= 0 || extent(1) <= 0 || extent(2) <= 0; }

    // The same window limited to a volume of the given size, with min <= max on every axis,
    // so builders can index cells without further checks.
    CutWindow clampedTo(unsigned sizeX, unsigned sizeY, unsigned sizeZ) const {
        const std::array<int, 3> size{int(sizeX), int(sizeY), int(sizeZ)};
        CutWindow result;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            result.min[axis] = std::clamp(min[axis], 0, size[axis]);
            result.max[axis] = std::clamp(max[axis], result.min[axis], size[axis]);
        }
        return result;
    }

    bool operator==(const CutWindow& other) const { return min == other.min && max == other.max; }
};

} // namespace Model::Automaton
