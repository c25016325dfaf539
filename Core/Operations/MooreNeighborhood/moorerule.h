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
    using MaterialId = Model::Automaton::MaterialId;
    using State = NoState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    MooreRule(Process process, std::uint32_t material) : process(process), material(material) {}

    State idle(MaterialId) const { return State(); }
    bool isSource(const Cell& cell) const {
        return process == Process::Deposition ? cell.material != 0 : cell.material == 0;
    }
    bool mayJoin(const Cell& cell) const {
        return process == Process::Deposition ? cell.material == 0 : cell.material == material;
    }
    bool visit(const Grid&, CellIndex, int, int, int, Cell& pending) const {
        const std::uint32_t now = pending.material;
        if (process == Process::Deposition && now == 0)
            pending.material = material;
        else if (process == Process::Etching && now == material)
            pending.material = 0;
        return true;
    }

    bool queues(MaterialId neighbour) const {
        return process == Process::Deposition ? neighbour == 0
                                              : neighbour == material;
    }

private:
    Process process;
    std::uint32_t material;
};

} // namespace Core::Operations
