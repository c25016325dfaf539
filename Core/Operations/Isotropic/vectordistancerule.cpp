#include "Core/Operations/Isotropic/vectordistancerule.h"

namespace Core::Operations {

VectorDistanceRule::VectorDistanceRule(Process process, const Model::Automaton::TotalVolume& volume,
                                       std::uint32_t material, std::uint32_t conductor,
                                       float distance)
    : process(process), material(material), conductor(conductor), distance(distance),
      distanceSquared(double(distance) * double(distance)),
      // Electroplating counts steps without sign along each axis.
      steps(volume.getCellSizeX(), volume.getCellSizeY(), volume.getCellSizeZ(),
            process == Process::Electroplating ? FaceSteps::Sign::Unsigned
                                               : FaceSteps::Sign::Towards),
      etching(process == Process::Etching),
      hasSources(process != Process::Electroplating || conductor != 0),
      sourceMaterial(process == Process::Electroplating ? conductor : 0),
      sourceIsEqual(process != Process::Deposition) {}

bool VectorDistanceRule::visit(const Grid& grid, CellIndex i, int x, int y, int z,
                               Cell& pending) const {
    const Cell now = pending;
    if (now.mark != 0)
        return false;
    if (process == Process::Etching && now.material != material && now.material != 0)
        return false;

    double best = FaceSteps::squaredLength<double>(now);
    float kept[3] = {0, 0, 0};
    if (!steps.shortest(grid, i, x, y, z, best, distanceSquared, kept))
        return false;

    Cell& out = pending;
    if (process == Process::Etching) {
        if (now.material == material)
            out.material = 0;
    } else if (now.material == 0) {
        out.material = material;
    }
    out.mark = 0;
    FaceSteps::setVector(out, kept);
    return true;
}

} // namespace Core::Operations
