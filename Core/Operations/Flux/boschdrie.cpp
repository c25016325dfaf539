#include "Core/Operations/Flux/boschdrie.h"

#include "Core/Operations/Kernels/frontpropagation.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/scale.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Core::Operations {

using Model::Automaton::CellIndex;
using Model::Automaton::MaterialId;

namespace {

// The film's deposition sticks this rarely: thin enough a film in the features to be conformal,
// few enough bounces to keep a cycle's flux map affordable.
constexpr double filmSticking = 0.05;
// Cosine power of the ions of the breakthrough and the etch.
constexpr double ionExponent = 1000.0;
// The breakthrough's time over the film's: the film at the bottom of a deep feature sees a
// little less of the beam than the field. The beam also wears the wall's film down from its
// upper end by as much, which the mask's own wall must take: no longer than needed.
constexpr double overEtch = 1.5;
// The neutrals' sticking probability: fluorine atoms react with a small share of their hits.
constexpr double neutralSticking = 0.1;
// One over the neutral flux on a wall beside an open field (see the header).
constexpr double lateralGain = 2.0 / (2.0 - neutralSticking);

// Each phase of each cycle draws rays of its own.
std::uint64_t phaseSeed(std::uint64_t seed, int cycle, int phase) {
    std::uint64_t z = seed * 0x9E3779B97F4A7C15ull + std::uint64_t(cycle) * 3u + unsigned(phase);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Empties every polymer cell the empty space reaches through polymer.
class StripRule : public FrontRuleDefaults {
public:
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Faces;
    using State = NoState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    State idle(MaterialId) const { return State(); }
    bool isSource(const Cell& cell) const { return cell.material == 0; }
    bool mayJoin(const Cell& cell) const { return cell.material == passivationPolymer; }
    bool visit(const Grid&, CellIndex, int, int, int, Cell& pending) const {
        if (pending.material != passivationPolymer)
            return false;
        pending.material = 0;
        return true;
    }
    bool queues(MaterialId m) const { return m == passivationPolymer; }
};

// Counts the phases of the cycles as its steps and passes the phases' cancels on.
class CycleProgress : public Util::ProgressReporter {
public:
    explicit CycleProgress(Util::ProgressReporter& outer) : outer(outer) {}
    bool wasCancelled() const override { return outer.wasCancelled(); }

private:
    Util::ProgressReporter& outer;
};

bool finiteIn(double value, double low, double high) {
    return std::isfinite(value) && value >= low && value <= high;
}

} // namespace

QString BoschRecipe::refusal() const {
    if (material == 0 || material > Model::Automaton::largestMaterialId ||
        material == passivationPolymer)
        return QStringLiteral("The etched material must be a material of the registry other "
                              "than the passivation polymer, not %1.")
            .arg(material);
    if (cycles < 1 || cycles > 100000)
        return QStringLiteral("The number of cycles must be from 1 to 100000, not %1.").arg(cycles);
    if (!finiteIn(etchDepthPerCycle, 0.0, 1.0e6) || etchDepthPerCycle == 0.0)
        return QStringLiteral("The etch depth per cycle must be more than 0 µm, not %1.")
            .arg(etchDepthPerCycle);
    if (!finiteIn(passivationThickness, 0.0, 1.0e6) || passivationThickness == 0.0)
        return QStringLiteral("The passivation thickness must be more than 0 µm, not %1.")
            .arg(passivationThickness);
    if (!finiteIn(isotropy, 0.0, 1.0))
        return QStringLiteral("The isotropy must be a number from 0 to 1, not %1.").arg(isotropy);
    if (QString refused = etch(0).refusal(); !refused.isEmpty())
        return refused;
    return passivation(0).refusal();
}

QString BoschRecipe::refusalOn(const Model::Automaton::TotalVolume& volume) const {
    if (QString refused = refusal(); !refused.isEmpty())
        return refused;
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    const double widest = std::max({edges.x, edges.y, edges.z});
    if (passivationThickness < 0.5 * widest)
        return QStringLiteral("The passivation thickness must be at least half a cell (%1 µm) "
                              "to cover the walls, not %2 µm.")
            .arg(0.5 * widest)
            .arg(passivationThickness);
    if (etchDepthPerCycle < edges.z)
        return QStringLiteral("The etch depth per cycle must be at least one cell (%1 µm), not "
                              "%2 µm.")
            .arg(edges.z)
            .arg(etchDepthPerCycle);
    return QString();
}

FluxStepRecipe BoschRecipe::passivation(int cycle) const {
    FluxStepRecipe step;
    step.kind = FluxStepRecipe::Kind::Deposition;
    step.material = passivationPolymer;
    step.rate = 1.0;
    step.time = passivationThickness;
    step.sourceExponent = 1.0;
    step.sticking = filmSticking;
    step.periodicSides = periodicSides;
    step.raysPerCell = raysPerCell;
    step.seed = phaseSeed(seed, cycle, 0);
    return step;
}

FluxStepRecipe BoschRecipe::breakthrough(int cycle) const {
    FluxStepRecipe step;
    step.kind = FluxStepRecipe::Kind::Etching;
    step.material = passivationPolymer;
    step.rate = 1.0;
    step.time = overEtch * passivationThickness;
    step.ionExponent = ionExponent;
    step.ionShare = 1.0;
    step.periodicSides = periodicSides;
    step.raysPerCell = raysPerCell;
    step.seed = phaseSeed(seed, cycle, 1);
    return step;
}

FluxStepRecipe BoschRecipe::etch(int cycle) const {
    FluxStepRecipe step;
    step.kind = FluxStepRecipe::Kind::Etching;
    step.material = material;
    step.rate = etchDepthPerCycle;
    step.time = 1.0;
    step.ionExponent = ionExponent;
    step.neutralSticking = neutralSticking;
    step.ionShare = 1.0 - isotropy;
    step.lateralGain = lateralGain;
    step.periodicSides = periodicSides;
    step.raysPerCell = raysPerCell;
    step.seed = phaseSeed(seed, cycle, 2);
    return step;
}

void ensurePassivationPolymer() {
    const auto factory = Model::Materials::MaterialFactory::getInstance();
    if (factory->getMaterial(passivationPolymer).getId() == passivationPolymer)
        return;
    // A fluorocarbon film: about 2 g/cm³, soft and nearly incompressible.
    factory->updateMaterial(
        Model::Materials::Material(passivationPolymer, QStringLiteral("Passivation Polymer"),
                                   2000.f, 5e8f, 0.45f, Util::Vector4D(0.6, 0.4, 0.1, 1)));
}

void BoschDrie::strip(Model::Automaton::TotalVolume& volume) {
    StripRule rule;
    FrontPropagation<StripRule> front(volume, rule);
    front.run(INT_MAX);
}

void BoschDrie::run(Model::Automaton::TotalVolume& volume, const BoschRecipe& recipe,
                    Util::ProgressReporter& progress) {
    ensurePassivationPolymer();
    progress.start(std::uint64_t(recipe.cycles) * 3u + (recipe.stripPassivation ? 1u : 0u));
    CycleProgress phase(progress);
    for (int cycle = 0; cycle < recipe.cycles; ++cycle) {
        progress.stopIfCancelled();
        // The last cycle's film has been worn by its etch; the cycle starts with a fresh one.
        strip(volume);
        FluxSurfaceAdvance(volume, recipe.passivation(cycle)).run(phase);
        progress.advance();
        FluxSurfaceAdvance(volume, recipe.breakthrough(cycle)).run(phase);
        progress.advance();
        FluxSurfaceAdvance(volume, recipe.etch(cycle)).run(phase);
        progress.advance();
    }
    if (recipe.stripPassivation) {
        strip(volume);
        progress.advance();
    }
}

BoschDrieOperation::BoschDrieOperation(OperationContext& context)
    : SnapshotProcessOperation(context, QStringLiteral("Bosch DRIE"), number,
                               QStringLiteral("BoschDrie")) {}

QString BoschDrieOperation::refusal() const {
    return target ? recipe.refusalOn(*target) : recipe.refusal();
}

void BoschDrieOperation::runEngine(Model::Automaton::TotalVolume& volume,
                                   Util::ProgressReporter& progress) {
    BoschDrie::run(volume, recipe, progress);
}

} // namespace Core::Operations
