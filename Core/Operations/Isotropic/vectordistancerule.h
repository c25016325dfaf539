#pragma once

#include "Core/Operations/Kernels/frontpropagation.h"

#include <cstdint>

namespace Core::Operations {

// Front rule of the isotropic processes: each cell carries the vector to the nearest seed it
// knows of, built face step by face step, and changes once that vector fits the distance.
//
// Deposition fills empty cells near any solid, etching empties cells of one material near
// empty space (other materials keep a far vector and so mask it), and electroplating fills
// empty cells near the conducting material while every other material blocks.
class VectorDistanceRule : public FrontRuleDefaults {
public:
    enum class Process { Deposition, Etching, Electroplating };
    using CellIndex = Model::Automaton::CellIndex;
    using MaterialId = Model::Automaton::MaterialId;
    using State = VectorState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    VectorDistanceRule(Process process, const Model::Automaton::TotalVolume& volume,
                       std::uint32_t material, std::uint32_t conductor, float distance);

    static int stepCount(float distance, float cellSizeX, float cellSizeY, float cellSizeZ) {
        return FaceSteps::stepCount(distance, cellSizeX, cellSizeY, cellSizeZ);
    }

    // Every cell is judged several times while the run starts, so the process's choices are
    // made once, at construction, into comparisons without branches.
    bool isSource(MaterialId material) const {
        return hasSources && ((material == sourceMaterial) == sourceIsEqual);
    }
    bool isSource(const Cell& cell) const { return isSource(cell.material); }
    // Empty cells join and are queued, or, for etching, occupied ones.
    bool mayJoin(MaterialId material) const { return (material == 0) != etching; }
    bool mayJoin(const Cell& cell) const { return mayJoin(cell.material); }
    // Sources start at distance zero; everything else starts with the far vector (d, d, d),
    // which never passes the distance test. Electroplating blocks every solid but the
    // conductor.
    State idle(MaterialId material) const {
        const bool source = isSource(material);
        const bool blocked = process == Process::Electroplating && !source && material != 0;
        State state;
        state.mark = source || blocked ? 1 : 0;
        FaceSteps::setVector(state, source ? 0.0f : distance);
        return state;
    }
    bool visit(const Grid& grid, CellIndex i, int x, int y, int z, Cell& pending) const;
    bool queues(MaterialId neighbour) const { return mayJoin(neighbour); }

private:
    Process process;
    std::uint32_t material;
    std::uint32_t conductor;
    float distance;
    double distanceSquared;
    FaceSteps steps;
    bool etching;
    // A source is a cell whose material equals (or, for deposition, differs from)
    // sourceMaterial; electroplating without a conductor has none.
    bool hasSources;
    std::uint32_t sourceMaterial;
    bool sourceIsEqual;
};

} // namespace Core::Operations
