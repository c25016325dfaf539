#include "Core/Operations/Isotropic/vectordistancerule.h"

#include <algorithm>
#include <cmath>

namespace Core::Operations {

namespace {
constexpr int faces[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
} // namespace

VectorDistanceRule::VectorDistanceRule(Process process, const Model::Automaton::TotalVolume& volume,
                                       std::uint32_t material, std::uint32_t conductor,
                                       float distance)
    : process(process), material(material), conductor(conductor), distance(distance),
      distanceSquared(double(distance) * double(distance)) {
    const float size[3] = {volume.getCellSizeX(), volume.getCellSizeY(), volume.getCellSizeZ()};
    for (int f = 0; f < 6; ++f) {
        for (int axis = 0; axis < 3; ++axis) {
            faceOffset[f][axis] = faces[f][axis];
            // Electroplating counts steps without sign along each axis.
            const int sign =
                process == Process::Electroplating ? std::abs(faces[f][axis]) : faces[f][axis];
            stepVector[f][axis] = float(sign) * size[axis];
        }
    }
}

int VectorDistanceRule::stepCount(float distance, float cellSizeX, float cellSizeY,
                                  float cellSizeZ) {
    const float smallest = std::min({cellSizeX, cellSizeY, cellSizeZ});
    if (!(distance > 0.0f) || !(smallest > 0.0f))
        return 0;
    const double steps = double(std::ceil(distance / smallest)) * (1.0 + 1.0 / std::sqrt(2.0));
    // A distance beyond any volume would otherwise overflow the count; the front empties long
    // before this many steps anyway.
    return steps >= 2.0e9 ? 2000000000 : int(steps);
}

bool VectorDistanceRule::visit(const FrontGrid& grid, CellIndex i, int x, int y, int z) const {
    const Voxel& now = grid.current[i];
    if (now.mark != 0)
        return false;
    if (process == Process::Etching && now.material != material && now.material != 0)
        return false;

    double best = double(now.vectorX) * now.vectorX + double(now.vectorY) * now.vectorY +
                  double(now.vectorZ) * now.vectorZ;
    float kept[3] = {0, 0, 0};
    bool taken = false;
    for (int f = 0; f < 6; ++f) {
        const int nx = x + faceOffset[f][0], ny = y + faceOffset[f][1], nz = z + faceOffset[f][2];
        if (!grid.inside(nx, ny, nz))
            continue;
        const Voxel& n = grid.current[grid.index(nx, ny, nz)];
        const float v[3] = {n.vectorX + stepVector[f][0], n.vectorY + stepVector[f][1],
                            n.vectorZ + stepVector[f][2]};
        const double lengthSquared =
            double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2];
        if (lengthSquared < best && lengthSquared <= distanceSquared) {
            best = lengthSquared;
            std::copy(v, v + 3, kept);
            taken = true;
        }
    }
    if (!taken)
        return false;

    Voxel& out = grid.next[i];
    if (process == Process::Etching) {
        if (now.material == material)
            out.material = 0;
    } else if (now.material == 0) {
        out.material = material;
    }
    out.mark = 0;
    out.vectorX = kept[0];
    out.vectorY = kept[1];
    out.vectorZ = kept[2];
    return true;
}

} // namespace Core::Operations
