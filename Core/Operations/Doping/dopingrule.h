#pragma once

#include "Core/Operations/Kernels/frontpropagation.h"
#include "Core/Operations/materialset.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace Core::Operations {

// Front rule of doping: dopable cells take the doped material within the distance of a seed,
// measured through dopable material only. Every other cell keeps a far vector, so it neither
// changes nor lets the doping pass. Diffusion from the surface seeds the empty cells; the
// implantation below seeds a layer inside the material and anneals with the same steps.
class DopingRule : public FrontRuleDefaults {
public:
    using CellIndex = Model::Automaton::CellIndex;
    using Voxel = Model::Automaton::Voxel;

    DopingRule(const Model::Automaton::TotalVolume& volume, std::uint32_t dopedMaterial,
               float distance, MaterialSet dopable)
        : dopedMaterial(dopedMaterial), distance(distance), reach(distance * distance),
          dopable(std::move(dopable)), steps(volume.getCellSizeX(), volume.getCellSizeY(),
                                             volume.getCellSizeZ(), FaceSteps::Sign::Towards) {}

    bool isSource(const Voxel& cell) const { return cell.material == 0; }
    bool mayJoin(const Voxel& cell) const { return dopable.contains(cell.material); }
    void initialize(const FrontGrid& grid, CellIndex i, int, int, int) const {
        Voxel& cell = grid.current[i];
        const bool empty = cell.material == 0;
        cell.mark = empty || !dopable.contains(cell.material) ? 1 : 0;
        FaceSteps::setVector(cell, empty ? 0.0f : distance);
        grid.next[i] = cell;
    }

    bool visit(const FrontGrid& grid, CellIndex i, int x, int y, int z) const {
        const Voxel& now = grid.current[i];
        if (now.mark != 0 || !dopable.contains(now.material))
            return false;
        float best = FaceSteps::squaredLength<float>(now);
        float kept[3] = {0, 0, 0};
        if (!steps.shortest(grid, i, x, y, z, best, reach, kept))
            return false;
        Voxel& out = grid.next[i];
        out.material = dopedMaterial;
        out.mark = 0;
        FaceSteps::setVector(out, kept);
        return true;
    }
    bool queues(const Voxel& neighbour) const { return dopable.contains(neighbour.material); }
    void copyBack(Voxel& current, const Voxel& next) const { current = next; }

protected:
    std::uint32_t dopedMaterial;
    float distance;
    float reach;
    MaterialSet dopable;
    FaceSteps steps;
};

// Ion implantation: in every column the ions come to rest `depth` below the top occupied cell,
// whatever lies above; the dopable cells there are the seeds, and annealing spreads the doping
// from them by the doping rule with the annealing distance.
class ImplantationRule : public DopingRule {
public:
    static constexpr bool seedsByColumn = true;

    ImplantationRule(const Model::Automaton::TotalVolume& volume, std::uint32_t dopedMaterial,
                     float depth, float annealing, MaterialSet dopable)
        : DopingRule(volume, dopedMaterial, annealing, std::move(dopable)), depth(depth),
          cellSizeZ(volume.getCellSizeZ()) {}

    void initializeColumn(const FrontGrid& grid, int x, int y,
                          std::vector<CellIndex>& seeds) const {
        const CellIndex bottom = grid.index(x, y, 0);
        int z = grid.sizeZ - 1;
        for (; z >= 0 && grid.current[bottom + CellIndex(z)].material == 0; --z)
            start(grid, bottom + CellIndex(z), 1, distance);
        for (const int top = z; z >= 0; --z) {
            const CellIndex i = bottom + CellIndex(z);
            if (!dopable.contains(grid.current[i].material)) {
                start(grid, i, 1, distance);
            } else if (isImplanted(top - z)) {
                grid.current[i].material = dopedMaterial;
                start(grid, i, 1, 0.0f);
                seeds.push_back(i);
            } else {
                start(grid, i, 0, distance);
            }
        }
    }

private:
    // Layer k below the top is hit when its depth lies within half a cell of the implantation
    // depth; exactly halfway between two layers, both are.
    bool isImplanted(int k) const {
        return double(std::fabs(float(k) * cellSizeZ - depth)) <= double(cellSizeZ) * 0.5;
    }
    static void start(const FrontGrid& grid, CellIndex i, std::uint8_t mark, float vector) {
        Voxel& cell = grid.current[i];
        cell.mark = mark;
        FaceSteps::setVector(cell, vector);
        grid.next[i] = cell;
    }

    float depth;
    float cellSizeZ;
};

} // namespace Core::Operations
