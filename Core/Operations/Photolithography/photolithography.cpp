#include "Core/Operations/Photolithography/photolithography.h"

#include "Core/Operations/Kernels/columnfront.h"

namespace Core::Operations {

namespace {

// The resist dissolves from every side its grid leaves open.
class DevelopmentRule {
public:
    DevelopmentRule(int resist, const std::vector<std::uint8_t>& top,
                    const std::vector<std::uint8_t>& bottom)
        : resist(std::uint32_t(resist)), top(top), bottom(bottom) {}

    std::uint32_t material() const { return resist; }
    bool openFromTop(Model::Automaton::CellIndex column) const { return !top[column]; }
    bool openFromBelow(Model::Automaton::CellIndex column) const { return !bottom[column]; }

private:
    std::uint32_t resist;
    const std::vector<std::uint8_t>& top;
    const std::vector<std::uint8_t>& bottom;
};

} // namespace

Photolithography::Photolithography(Model::Automaton::TotalVolume& volume, int resistMaterialId,
                                   const std::vector<bool>& bottomMask, unsigned bottomWidth,
                                   unsigned bottomHeight, const std::vector<bool>& topMask,
                                   unsigned topWidth, unsigned topHeight)
    : volume(volume), resistMaterialId(resistMaterialId) {
    const bool negative = resistMaterialId == negativeResist;
    topGrid = protectedColumns(topMask, topWidth, topHeight, volume.getSizeX(), volume.getSizeY(),
                               negative);
    bottomGrid = protectedColumns(bottomMask, bottomWidth, bottomHeight, volume.getSizeX(),
                                  volume.getSizeY(), negative);
}

std::vector<std::uint8_t> Photolithography::protectedColumns(const std::vector<bool>& mask,
                                                             unsigned width, unsigned height,
                                                             unsigned sizeX, unsigned sizeY,
                                                             bool negative) {
    std::vector<std::uint8_t> grid(std::size_t(sizeX) * sizeY, 0);
    if (mask.size() != std::uint64_t(width) * height)
        return grid;
    // Only the volume's columns are visited: pixels beyond it cost nothing.
    for (unsigned x = 0; x < sizeX; ++x) {
        for (unsigned y = 0; y < sizeY; ++y) {
            const bool opaque = x < width && y < height && mask[std::size_t(x) * height + y];
            grid[std::size_t(x) * sizeY + y] = std::uint8_t(opaque != negative);
        }
    }
    return grid;
}

void Photolithography::runDevelopment(Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock cells(volume);
    const DevelopmentRule rule(resistMaterialId, topGrid, bottomGrid);
    ColumnFront<DevelopmentRule> front(volume, cells, rule);
    front.watch(progress);
    // No column holds more than sizeZ cells of resist.
    progress.start(volume.getSizeZ());
    front.seed();
    for (unsigned step = 0; step < volume.getSizeZ() && !front.isEmpty(); ++step) {
        front.advance();
        progress.advance();
    }
}

} // namespace Core::Operations
