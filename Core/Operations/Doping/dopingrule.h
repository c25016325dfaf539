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
    using MaterialId = Model::Automaton::MaterialId;
    using State = VectorState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    DopingRule(const Model::Automaton::TotalVolume& volume, std::uint32_t dopedMaterial,
               float distance, MaterialSet dopable)
        : dopedMaterial(dopedMaterial), distance(distance), reach(distance * distance),
          dopable(std::move(dopable)), steps(volume.getCellSizeX(), volume.getCellSizeY(),
                                             volume.getCellSizeZ(), FaceSteps::Sign::Towards) {}

    bool isSource(const Cell& cell) const { return cell.material == 0; }
    bool mayJoin(const Cell& cell) const { return dopable.contains(cell.material); }
    // Empty cells are the seeds; cells that cannot be doped are settled.
    State idle(MaterialId material) const {
        const bool empty = material == 0;
        State state;
        state.mark = empty || !dopable.contains(material) ? 1 : 0;
        FaceSteps::setVector(state, empty ? 0.0f : distance);
        return state;
    }

    bool visit(const Grid& grid, CellIndex i, int x, int y, int z, Cell& pending) const {
        const Cell now = pending;
        if (now.mark != 0 || !dopable.contains(now.material))
            return false;
        float best = FaceSteps::squaredLength<float>(now);
        float kept[3] = {0, 0, 0};
        if (!steps.shortest(grid, i, x, y, z, best, reach, kept))
            return false;
        pending.material = dopedMaterial;
        pending.mark = 0;
        FaceSteps::setVector(pending, kept);
        return true;
    }
    bool queues(MaterialId neighbour) const { return dopable.contains(neighbour); }

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

    // Nothing is a seed until the ions come to rest; what cannot be doped is settled.
    State idle(MaterialId material) const {
        State state;
        state.mark = material != 0 && dopable.contains(material) ? 0 : 1;
        FaceSteps::setVector(state, distance);
        return state;
    }

    // Only the implanted cells start otherwise than idle.
    void initializeColumn(const Grid& grid, int x, int y, std::vector<CellIndex>& seeds) const {
        const CellIndex bottom = grid.index(x, y, 0);
        int z = grid.sizeZ - 1;
        while (z >= 0 && grid.material(bottom + CellIndex(z)) == 0)
            --z;
        for (const int top = z; z >= 0; --z) {
            const CellIndex i = bottom + CellIndex(z);
            if (dopable.contains(grid.material(i)) && isImplanted(top - z)) {
                grid.setMaterial(i, dopedMaterial);
                State seed;
                seed.mark = 1;
                FaceSteps::setVector(seed, 0.0f);
                grid.setState(i, seed);
                seeds.push_back(i);
            }
        }
    }

private:
    // Layer k below the top is hit when its depth lies within half a cell of the implantation
    // depth; exactly halfway between two layers, both are.
    bool isImplanted(int k) const {
        return double(std::fabs(float(k) * cellSizeZ - depth)) <= double(cellSizeZ) * 0.5;
    }

    float depth;
    float cellSizeZ;
};

} // namespace Core::Operations
