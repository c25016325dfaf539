#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"

#include "Core/Operations/Kernels/frontpropagation.h"

namespace Core::Operations {

namespace {

using Model::Automaton::CellIndex;
using Model::Automaton::Voxel;

// Grows the film through empty cells from the seeds, face by face, with the vectors measured in
// the scaled cell edges. Only the current array changes: each step's new film is held back
// until every strip has read the layer it sees, then written in place.
class AnisotropicDepositionRule : public FrontRuleDefaults {
public:
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Faces;
    static constexpr bool writesInPlace = true;

    AnisotropicDepositionRule(std::uint32_t material, float thickness, float edgeX, float edgeY,
                              float edgeZ, int mode)
        : material(material), thickness(thickness), reach(thickness * thickness),
          onTop(mode == AnisotropicFilmDeposition::OnTop ||
                mode == AnisotropicFilmDeposition::OnTopAndBottom),
          onBottom(mode == AnisotropicFilmDeposition::OnBottom ||
                   mode == AnisotropicFilmDeposition::OnTopAndBottom),
          steps(edgeX, edgeY, edgeZ, FaceSteps::Sign::Away) {}

    // A solid cell seeds the film only where empty space lies directly above (or below) it.
    void initialize(const FrontGrid& grid, CellIndex i, int, int, int z) const {
        Voxel& cell = grid.current[i];
        if (cell.material == 0) {
            cell.mark = 0;
            FaceSteps::setVector(cell, thickness);
            return;
        }
        const bool seed = (onTop && z + 1 < grid.sizeZ && grid.current[i + 1].material == 0) ||
                          (onBottom && z > 0 && grid.current[i - 1].material == 0);
        cell.mark = 1;
        FaceSteps::setVector(cell, seed ? 0.0f : thickness);
    }
    bool isSource(const Voxel& cell) const { return cell.material != 0; }
    bool mayJoin(const Voxel& cell) const { return cell.material == 0; }

    bool visit(const FrontGrid& grid, CellIndex i, int x, int y, int z, Voxel& pending) const {
        const Voxel& now = grid.current[i];
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
    bool queues(const Voxel& neighbour) const { return neighbour.material == 0; }
    void copyBack(Voxel& current, const Voxel& pending) const {
        current.material = pending.material;
        current.vectorX = pending.vectorX;
        current.vectorY = pending.vectorY;
        current.vectorZ = pending.vectorZ;
    }

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
