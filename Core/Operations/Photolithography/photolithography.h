#pragma once

#include "Model/Automaton/totalvolume.h"

#include "Util/progressreporter.h"
#include <cstdint>
#include <vector>

namespace Core::Operations {

// Develops a photoresist through a top and a bottom mask: in every column, each run of resist
// cells that touches empty space from a side the mask leaves open there is dissolved, straight
// up or down, never sideways. Masks are one bit per column (bit x * height + y, set where
// opaque); outside a mask's image light passes. A negative resist inverts both masks.
class Photolithography {
public:
    // The material id of the negative resist.
    static constexpr int negativeResist = 12;

    Photolithography(Model::Automaton::TotalVolume& volume, int resistMaterialId,
                     const std::vector<bool>& bottomMask, unsigned bottomWidth,
                     unsigned bottomHeight, const std::vector<bool>& topMask, unsigned topWidth,
                     unsigned topHeight);

    void runDevelopment(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    // Per column (x * sizeY + y): 1 where that side is protected. A mask whose bit count does
    // not match its size leaves the side open everywhere, whatever the resist.
    static std::vector<std::uint8_t> protectedColumns(const std::vector<bool>& mask, unsigned width,
                                                      unsigned height, unsigned sizeX,
                                                      unsigned sizeY, bool negative);

private:
    Model::Automaton::TotalVolume& volume;
    int resistMaterialId;
    std::vector<std::uint8_t> topGrid;
    std::vector<std::uint8_t> bottomGrid;
};

} // namespace Core::Operations
