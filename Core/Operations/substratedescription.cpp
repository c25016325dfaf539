#include "Core/Operations/substratedescription.h"

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace Core::Operations {

namespace {

// [corner, corner + size) limited to [0, total), in 64 bits: the dialog allows corners and
// sizes whose sum does not fit an int.
void clip(int corner, int size, int total, int& begin, int& end) {
    const std::int64_t low = std::max<std::int64_t>(corner, 0);
    const std::int64_t high = std::min<std::int64_t>(std::int64_t(corner) + size, total);
    begin = int(std::min<std::int64_t>(low, total));
    end = int(std::max<std::int64_t>(high, begin));
}

} // namespace

void SubstrateDescription::setCellEdgesInMicrometres(double x, double y, double z) {
    cellSizeX = float(x / micrometresPerSceneUnit);
    cellSizeY = float(y / micrometresPerSceneUnit);
    cellSizeZ = float(z / micrometresPerSceneUnit);
}

void SubstrateDescription::buildMaterials() {
    using Model::Automaton::CellIndex;
    const CellIndex sizeY = CellIndex(totalSizeY);
    const CellIndex sizeZ = CellIndex(totalSizeZ);
    materials.assign(CellIndex(totalSizeX) * sizeY * sizeZ, 0);

    if (spherical) {
        // Single precision, as the cells on the sphere are decided: a cell exactly on it is
        // inside.
        const float r = float(radius) * cellSizeX;
        const float r2 = r * r;
        for (int x = 0; x < totalSizeX; ++x) {
            const float dx = float(x - centerX) * cellSizeX;
            for (int y = 0; y < totalSizeY; ++y) {
                const float dy = float(y - centerY) * cellSizeY;
                const CellIndex row =
                    Model::Automaton::cellIndex(CellIndex(x), CellIndex(y), 0, sizeY, sizeZ);
                for (int z = 0; z < totalSizeZ; ++z) {
                    const float dz = float(z - centerZ) * cellSizeZ;
                    if (r2 >= dx * dx + dy * dy + dz * dz)
                        materials[row + CellIndex(z)] = material;
                }
            }
        }
        return;
    }

    int x0, x1, y0, y1, z0, z1;
    clip(substrateCornerX, substrateSizeX, totalSizeX, x0, x1);
    clip(substrateCornerY, substrateSizeY, totalSizeY, y0, y1);
    clip(substrateCornerZ, substrateSizeZ, totalSizeZ, z0, z1);
    for (int x = x0; x < x1; ++x) {
        for (int y = y0; y < y1; ++y) {
            const CellIndex row =
                Model::Automaton::cellIndex(CellIndex(x), CellIndex(y), 0, sizeY, sizeZ);
            std::fill(materials.begin() + std::ptrdiff_t(row + CellIndex(z0)),
                      materials.begin() + std::ptrdiff_t(row + CellIndex(z1)), material);
        }
    }
}

std::shared_ptr<Model::Automaton::TotalVolume> SubstrateDescription::createVolume(QString& reason) {
    if (totalSizeX < 1 || totalSizeY < 1 || totalSizeZ < 1) {
        reason = QStringLiteral("A cell volume needs at least one cell along each axis.");
        return nullptr;
    }
    if (!Model::Automaton::VolumeBudget::fits(unsigned(totalSizeX), unsigned(totalSizeY),
                                              unsigned(totalSizeZ), &reason))
        return nullptr;
    try {
        buildMaterials();
        auto volume = std::make_shared<Model::Automaton::TotalVolume>(
            unsigned(totalSizeX), unsigned(totalSizeY), unsigned(totalSizeZ), cellSizeX, cellSizeY,
            cellSizeZ, position, materials);
        volume->setMicrometresPerSceneUnit(micrometresPerSceneUnit);
        volume->setCrystalOrientation(crystalOrientation);
        // The volume holds the cells now; the list would only double the memory kept.
        std::vector<int>().swap(materials);
        return volume;
    } catch (const std::bad_alloc&) {
        // The budget is an estimate; memory can still run out while building.
        std::vector<int>().swap(materials);
        reason = QStringLiteral("There is not enough memory for a cell volume of %1 x %2 x %3 "
                                "cells.")
                     .arg(totalSizeX)
                     .arg(totalSizeY)
                     .arg(totalSizeZ);
        return nullptr;
    }
}

} // namespace Core::Operations
