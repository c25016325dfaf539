#pragma once

#include "support/scenes.h"

namespace testing_support {

constexpr int cantileverSilicon = 1;
constexpr int cantileverAluminium = 4;

// A silicon substrate (z < 5) with a silicon anchor (x < 10, z 5 to 7) and a plate of
// `material` on top of it (z 8 and 9) that reaches `free` cells beyond the anchor over empty
// space. With `farAnchor` a second anchor holds the plate's other end as well. Cells are
// cubes with edges of `cellSize` scene units.
inline std::shared_ptr<Model::Automaton::TotalVolume>
anchoredPlate(int free = 20, int width = 10, int material = cantileverAluminium,
              bool farAnchor = false, float cellSize = 1.f) {
    const int sizeX = 10 + free + (farAnchor ? 10 : 5);
    return makeVolume(
        sizeX, width, 12,
        [=](int x, int, int z) {
            const bool underAnchor = x < 10 || (farAnchor && x >= 10 + free);
            if (z < 5 || (z < 8 && underAnchor))
                return cantileverSilicon;
            if (z >= 8 && z < 10 && (x < 10 + free || farAnchor))
                return material;
            return 0;
        },
        cellSize, cellSize, cellSize);
}

// One anchor in the middle (x 20 to 29) carrying a plate from x = 5 to 44: two beams, the
// first reaching towards -x, the second towards +x.
inline std::shared_ptr<Model::Automaton::TotalVolume> twoBeams() {
    return makeVolume(50, 6, 12, [](int x, int, int z) {
        if (z < 5 || (z < 8 && x >= 20 && x < 30))
            return cantileverSilicon;
        if (z >= 8 && z < 10 && x >= 5 && x < 45)
            return cantileverAluminium;
        return 0;
    });
}

} // namespace testing_support
