#include "Core/Operations/SiOxidation/simplesioxidation.h"

#include "Core/Operations/Kernels/frontpropagation.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace Core::Operations {

namespace {

Q_LOGGING_CATEGORY(lcOxidation, "Core/Operations/SiOxidation/simplesioxidation", QtInfoMsg)

using Model::Automaton::CellIndex;
using Model::Automaton::MaterialId;

// Distances from the silicon surface: seeds are oxidizable cells with empty space beside a
// face. The front runs both into the silicon (up to 0.44 of the thickness) and out into empty
// space (up to 0.56 of it); after the last pass the cells close enough become oxide.
class OxidationRule : public FrontRuleDefaults {
public:
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Faces;
    static constexpr bool hasFinalPass = true;
    using State = VectorState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    OxidationRule(const Model::Automaton::TotalVolume& volume, double thickness,
                  const MaterialSet& oxidizable)
        : oxidizable(oxidizable), far(float(thickness)), emptyReach(square(0.56 * thickness)),
          solidReach(square(0.44 * thickness)), solidConversion(square(float(0.3 * thickness))),
          emptyConversion(square(float(0.6 * thickness))),
          steps(volume.getCellSizeX(), volume.getCellSizeY(), volume.getCellSizeZ(),
                FaceSteps::Sign::Towards) {}

    // Materials that do not oxidize are settled; everything else starts far from the surface.
    State idle(MaterialId m) const {
        State state;
        state.mark = m != 0 && !oxidizable.contains(m) ? 1 : 0;
        FaceSteps::setVector(state, far);
        return state;
    }
    // Oxidizable cells with empty space beside a face are the seeds.
    void initialize(const Grid& grid, CellIndex i, int x, int y, int z) const {
        const MaterialId m = grid.material(i);
        if (m == 0 || !oxidizable.contains(m) ||
            !grid.anyFaceNeighbour(i, x, y, z,
                                   [&](CellIndex n, int) { return grid.material(n) == 0; }))
            return;
        State seed;
        seed.mark = 1;
        FaceSteps::setVector(seed, 0.0f);
        grid.setState(i, seed);
    }
    // Seeds; the cells beside them that may still change start the front.
    bool isSource(const Cell& cell) const {
        return cell.mark == 1 && cell.material != 0 && oxidizable.contains(cell.material);
    }
    bool mayJoin(const Cell& cell) const { return cell.mark == 0; }

    bool visit(const Grid& grid, CellIndex i, int x, int y, int z, Cell& pending) const {
        const Cell now = pending;
        if (now.mark != 0)
            return false;
        float best = FaceSteps::squaredLength<float>(now);
        float kept[3] = {0, 0, 0};
        if (!steps.shortest(grid, i, x, y, z, best, now.material == 0 ? emptyReach : solidReach,
                            kept))
            return false;
        FaceSteps::setVector(pending, kept);
        return true;
    }
    bool queues(MaterialId neighbour) const {
        return neighbour == 0 || neighbour == SimpleSiOxidation::oxideMaterial ||
               oxidizable.contains(neighbour);
    }
    void finish(const Grid& grid, CellIndex i, const Cell& cell) const {
        const MaterialId m = cell.material;
        const float lengthSquared = FaceSteps::squaredLength<float>(cell);
        if ((m != 0 && oxidizable.contains(m) && solidConversion > lengthSquared) ||
            (m == 0 && emptyConversion > lengthSquared))
            grid.setMaterial(i, SimpleSiOxidation::oxideMaterial);
    }

private:
    template <class Real> static Real square(Real value) { return value * value; }

    const MaterialSet& oxidizable;
    float far;
    double emptyReach;
    double solidReach;
    float solidConversion;
    float emptyConversion;
    FaceSteps steps;
};

} // namespace

DealGroveThickness DealGroveThickness::compute(double hours, double kelvin, double atm) {
    DealGroveThickness g;
    g.parabolicRateAtOneAtm = 1297.907373 * std::exp(-14.92366568 * 1000.0 / kelvin);
    g.parabolicRate = atm * 0.999264839884312 * g.parabolicRateAtOneAtm;
    g.linearRate = 7973245.767 * std::exp(-23.43965534 * 1000.0 / kelvin);
    g.a = g.parabolicRate / g.linearRate;
    // The time an initial oxide of 0.025 microns would have taken: (x0^2 + A x0) / B.
    g.tau = (0.025 * g.a + 0.000625) / g.parabolicRate;
    g.microns = (std::sqrt(g.a * g.a + 4.0 * g.parabolicRate * (hours + g.tau)) - g.a) / 2.0;
    return g;
}

SimpleSiOxidation::SimpleSiOxidation(Model::Automaton::TotalVolume& volume, double micronConversion)
    : volume(volume), micronConversion(micronConversion), oxidizable(readOxidizableMaterials()) {}

MaterialSet SimpleSiOxidation::readOxidizableMaterials() {
    return MaterialSet::compatibleWith(QStringLiteral("Simple Si Oxidation"));
}

int SimpleSiOxidation::passCount(double thickness, float smallestEdge) {
    return FaceSteps::cappedStepCount(std::ceil(thickness / double(smallestEdge)) *
                                      1.7071067811865472);
}

void SimpleSiOxidation::oxidateFor(double hours, double kelvin, double atm,
                                   Util::ProgressReporter& progress) {
    const DealGroveThickness g = DealGroveThickness::compute(hours, kelvin, atm);
    const double cellUnits = g.microns * micronConversion;
    qCDebug(lcOxidation) << "Time:" << hours;
    qCDebug(lcOxidation) << "Temperature:" << kelvin;
    qCDebug(lcOxidation) << "Pressure:" << atm;
    qCDebug(lcOxidation) << "B (1 atm)" << g.parabolicRateAtOneAtm;
    qCDebug(lcOxidation) << "B" << g.parabolicRate;
    qCDebug(lcOxidation) << "B/A" << g.linearRate;
    qCDebug(lcOxidation) << "A" << g.a;
    qCDebug(lcOxidation) << "tau" << g.tau;
    qCDebug(lcOxidation) << "Oxide thickness in microns" << g.microns;
    qCDebug(lcOxidation) << "Oxide thickness in cell units" << cellUnits;
    oxidateTo(cellUnits, progress);
}

void SimpleSiOxidation::oxidateTo(double thickness, Util::ProgressReporter& progress) {
    const float smallest =
        std::min({volume.getCellSizeX(), volume.getCellSizeY(), volume.getCellSizeZ()});
    if (!(thickness > double(smallest)) || !std::isfinite(thickness) || oxidizable.empty())
        return;
    OxidationRule rule(volume, thickness, oxidizable);
    FrontPropagation<OxidationRule> front(volume, rule);
    front.run(passCount(thickness, smallest), progress);
}

} // namespace Core::Operations
