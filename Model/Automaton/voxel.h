#pragma once

#include <cstdint>

namespace Model::Automaton {

// One cell. `mark` and the vector belong to whichever engine is running; they are zeroed here
// so that no result can depend on leftover values.
struct Voxel {
    Voxel() = default;
    explicit Voxel(uint32_t materialId) : material(materialId) {}

    uint32_t material = 0;
    uint8_t mark = 0;
    float vectorX = 0.0f;
    float vectorY = 0.0f;
    float vectorZ = 0.0f;
    int32_t atomCount = 0;
};

} // namespace Model::Automaton
