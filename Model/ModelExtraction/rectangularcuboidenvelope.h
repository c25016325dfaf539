#pragma once

#include <array>
#include <cstdint>
#include <memory>

namespace Model::ModelExtraction {

// A box of cells of one material, found by cutting a cell volume along every plane where the
// material changes, and the boxes that share a whole face with it.
//
// The neighbour pointers do not own: the model holding the envelopes keeps them alive, and
// boxes link to each other in both directions.
class RectangularCuboidEnvelope {
public:
    // Face slots; a slot and its opposite (slot ^ 1) face each other across a shared face.
    enum Face { MinusX = 0, PlusX = 1, MinusY = 2, PlusY = 3, Bottom = 4, Top = 5, FaceCount = 6 };
    static int opposite(int face) { return face ^ 1; }

    RectangularCuboidEnvelope(int x, int y, int z, int sizeX, int sizeY, int sizeZ,
                              std::uint32_t material);

    RectangularCuboidEnvelope(const RectangularCuboidEnvelope&) = delete;
    RectangularCuboidEnvelope& operator=(const RectangularCuboidEnvelope&) = delete;

    // Lowest corner (cell index) and extent in cells.
    std::int32_t x, y, z;
    std::int32_t sizeX, sizeY, sizeZ;
    std::uint32_t material;

    RectangularCuboidEnvelope* neighbour(int face) const { return neighbours[std::size_t(face)]; }
    // Sets or clears one slot; the count follows.
    void setNeighbour(int face, RectangularCuboidEnvelope* other);
    int getNeighbourCount() const { return neighbourCount; }

    // Joins `a`'s face to `b`'s opposite face.
    static void link(RectangularCuboidEnvelope& a, int face, RectangularCuboidEnvelope& b);

private:
    std::array<RectangularCuboidEnvelope*, FaceCount> neighbours{};
    std::int32_t neighbourCount = 0;
};

using EnvelopePtr = std::shared_ptr<RectangularCuboidEnvelope>;

} // namespace Model::ModelExtraction
