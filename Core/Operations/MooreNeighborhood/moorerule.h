#pragma once

#include "Core/Operations/Kernels/frontpropagation.h"

#include <cstdint>

namespace Core::Operations {

// Front rule of the Moore-neighbourhood processes: every step adds (or removes) each cell that
// touches the surface through a face, an edge or a corner. Only materials change.
class MooreRule : public FrontRuleDefaults {
public:
    enum class Process { Deposition, Etching };
    using CellIndex = Model::Automaton::CellIndex;
    using Voxel = Model::Automaton::Voxel;

    MooreRule(Process process, std::uint32_t material) : process(process), material(material) {}

    bool isSource(const Voxel& cell) const {
        return process == Process::Deposition ? cell.material != 0 : cell.material == 0;
    }
    bool mayJoin(const Voxel& cell) const {
        return process == Process::Deposition ? cell.material == 0 : cell.material == material;
    }
    void initialize(const FrontGrid& grid, CellIndex i, int, int, int) const {
        grid.next[i].material = grid.current[i].material;
    }

    bool visit(const FrontGrid& grid, CellIndex i, int, int, int) const {
        const std::uint32_t now = grid.current[i].material;
        if (process == Process::Deposition && now == 0)
            grid.next[i].material = material;
        else if (process == Process::Etching && now == material)
            grid.next[i].material = 0;
        return true;
    }

    bool queues(const Voxel& neighbour) const {
        return process == Process::Deposition ? neighbour.material == 0
                                              : neighbour.material == material;
    }

    void copyBack(Voxel& current, const Voxel& next) const { current.material = next.material; }

private:
    Process process;
    std::uint32_t material;
};

} // namespace Core::Operations
