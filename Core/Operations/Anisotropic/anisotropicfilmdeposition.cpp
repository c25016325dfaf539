#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"

#include "Core/Operations/Kernels/frontpropagation.h"

namespace Core::Operations {

namespace {

using Model::Automaton::CellIndex;
using Model::Automaton::MaterialId;

// Grows the film through empty cells from the seeds, face by face, with the vectors measured in
// the scaled cell edges.
class AnisotropicDepositionRule : public FrontRuleDefaults {
public:
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Faces;
    using State = VectorState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    AnisotropicDepositionRule(std::uint32_t material, float thickness, float edgeX, float edgeY,
                              float edgeZ, int mode)
        : material(material), thickness(thickness), reach(thickness * thickness),
          onTop(mode == AnisotropicFilmDeposition::OnTop ||
                mode == AnisotropicFilmDeposition::OnTopAndBottom),
          onBottom(mode == AnisotropicFilmDeposition::OnBottom ||
                   mode == AnisotropicFilmDeposition::OnTopAndBottom),
          steps(edgeX, edgeY, edgeZ, FaceSteps::Sign::Away) {}

    // Solid cells are settled, far from any seed until their start says otherwise.
    State idle(MaterialId material) const {
        State state;
        state.mark = material == 0 ? 0 : 1;
        FaceSteps::setVector(state, thickness);
        return state;
    }
    // A solid cell seeds the film only where empty space lies directly above (or below) it.
    void initialize(const Grid& grid, CellIndex i, int, int, int z) const {
        if (grid.material(i) == 0)
            return;
        const bool seed = (onTop && z + 1 < grid.sizeZ && grid.material(i + 1) == 0) ||
                          (onBottom && z > 0 && grid.material(i - 1) == 0);
        if (seed) {
            State state;
            state.mark = 1;
            FaceSteps::setVector(state, 0.0f);
            grid.setState(i, state);
        }
    }
    bool isSource(const Cell& cell) const { return cell.material != 0; }
    bool mayJoin(const Cell& cell) const { return cell.material == 0; }

    bool visit(const Grid& grid, CellIndex i, int x, int y, int z, Cell& pending) const {
        const Cell now = pending;
        if (now.mark != 0)
            return false;
        float best = FaceSteps::squaredLength<float>(now);
        float kept[3] = {0, 0, 0};
        if (!steps.shortest(grid, i, x, y, z, best, reach, kept))
            return false;
        if (now.material == 0)
            pending.material = material;
        FaceSteps::setVector(pending, kept);
        return true;
    }
    bool queues(MaterialId neighbour) const { return neighbour == 0; }

private:
    std::uint32_t material;
    float thickness;
    float reach;
    bool onTop;
    bool onBottom;
    FaceSteps steps;
};

} // namespace

AnisotropicFilmDeposition::AnisotropicFilmDeposition(Model::Automaton::TotalVolume& volume,
                                                     int materialId, float thickness,
                                                     float horizontalRatio, int depositOnMode)
    : volume(volume), materialId(materialId), thickness(thickness),
      horizontalRatio(horizontalRatio), depositOnMode(depositOnMode) {}

void AnisotropicFilmDeposition::runDeposition(Util::ProgressReporter& progress) {
    if (!std::isfinite(thickness) || !(horizontalRatio > 0.0f) || !std::isfinite(horizontalRatio))
        return;
    const float edgeX = volume.getCellSizeX() / horizontalRatio;
    const float edgeY = volume.getCellSizeY() / horizontalRatio;
    const float edgeZ = volume.getCellSizeZ();
    AnisotropicDepositionRule rule(std::uint32_t(materialId), thickness, edgeX, edgeY, edgeZ,
                                   depositOnMode);
    FrontPropagation<AnisotropicDepositionRule> front(volume, rule);
    front.run(FaceSteps::stepCount(thickness, edgeX, edgeY, edgeZ), progress);
}

} // namespace Core::Operations
