#include "Model/ModelExtraction/rectangularcuboidenvelope.h"

namespace Model::ModelExtraction {

RectangularCuboidEnvelope::RectangularCuboidEnvelope(int x, int y, int z, int sizeX, int sizeY,
                                                     int sizeZ, std::uint32_t material)
    : x(x), y(y), z(z), sizeX(sizeX), sizeY(sizeY), sizeZ(sizeZ), material(material) {}

void RectangularCuboidEnvelope::setNeighbour(int face, RectangularCuboidEnvelope* other) {
    RectangularCuboidEnvelope*& slot = neighbours[std::size_t(face)];
    neighbourCount += int(other != nullptr) - int(slot != nullptr);
    slot = other;
}

void RectangularCuboidEnvelope::link(RectangularCuboidEnvelope& a, int face,
                                     RectangularCuboidEnvelope& b) {
    a.setNeighbour(face, &b);
    b.setNeighbour(opposite(face), &a);
}

} // namespace Model::ModelExtraction
