#include "Core/Operations/Flux/boschdrie.h"

#include "Core/Operations/Kernels/frontpropagation.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/scale.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

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
// little less of the beam than the field.
constexpr double overEtch = 1.5;
// The neutrals' sticking probability: fluorine atoms react with a small share of their hits.
constexpr double neutralSticking = 0.1;

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
    if (etchDepthPerCycle < edges.z)
        return QStringLiteral("The etch depth per cycle must be at least one cell (%1 µm), not "
                              "%2 µm.")
            .arg(edges.z)
            .arg(etchDepthPerCycle);
    return QString();
}

Model::Transport::FluxSettings BoschRecipe::passivation(int cycle) const {
    Model::Transport::FluxSettings film;
    film.sourceExponent = 1.0;
    film.sticking = filmSticking;
    film.materialSticking = FluxSurfaceAdvance::registrySticking();
    film.periodicSides = periodicSides;
    film.raysPerCell = raysPerCell;
    film.seed = phaseSeed(seed, cycle, 0);
    return film;
}

Model::Transport::FluxSettings BoschRecipe::breakthrough(int cycle) const {
    Model::Transport::FluxSettings beam;
    beam.sourceExponent = ionExponent;
    beam.sticking = 1.0;
    beam.periodicSides = periodicSides;
    beam.raysPerCell = raysPerCell;
    beam.seed = phaseSeed(seed, cycle, 1);
    return beam;
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
    step.neutralsFromMouth = true;
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

FilmLining BoschDrie::line(Model::Automaton::TotalVolume& volume, const BoschRecipe& recipe,
                           int cycle, Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock locked(volume);
    const Model::Automaton::MaterialCells cells = locked.materials();
    const Model::Automaton::CellGrid grid = Model::Automaton::CellGrid::of(volume, cells);
    const Model::Transport::SurfaceFlux film =
        Model::Transport::FluxEngine::compute(grid, recipe.passivation(cycle), progress);
    const Model::Transport::SurfaceFlux beam =
        Model::Transport::FluxEngine::compute(grid, recipe.breakthrough(cycle), progress);
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    FilmLining lining;
    for (std::size_t k = 0; k < film.size(); ++k) {
        const CellIndex cell = film.cell(k);
        if (cells[std::ptrdiff_t(cell)] != recipe.material)
            continue;
        unsigned faces = film.exposedFaces(k);
        if (faces & 2u) {
            double area = 0.0;
            for (int f = 0; f < 6; ++f)
                if (faces >> f & 1u)
                    area += edges.sideArea(f < 2 ? 2 : f < 4 ? 1 : 0);
            // Doses in units of the film's thickness on the field.
            const double dose = overEtch * double(beam.totalFlux(k)) * area / edges.sideArea(2);
            if (dose >= double(film.totalFlux(k)))
                faces &= ~2u;
        }
        if (faces)
            lining.push_back({cell, std::uint8_t(faces)});
    }
    return lining;
}

namespace {

// The empty cells in front of the lined faces of cells still standing, where the film is at
// least half a cell thick: the film as cells.
std::vector<CellIndex> filmCells(Model::Automaton::TotalVolume& volume, const FilmLining& lining,
                                 const BoschRecipe& recipe) {
    const Model::Automaton::CellArraysLock locked(volume);
    const Model::Automaton::MaterialCells cells = locked.materials();
    const Model::Automaton::CellGrid grid = Model::Automaton::CellGrid::of(volume, cells);
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    const int size[3] = {grid.sizeX, grid.sizeY, grid.sizeZ};
    const CellIndex strideX = CellIndex(size[1]) * CellIndex(size[2]);
    std::vector<CellIndex> out;
    for (const LinedCell& lined : lining) {
        if (cells[std::ptrdiff_t(lined.cell)] != recipe.material)
            continue;
        const int c[3] = {int(lined.cell / strideX), int(lined.cell % strideX / CellIndex(size[2])),
                          int(lined.cell % CellIndex(size[2]))};
        for (int f = 0; f < 6; ++f) {
            const int axis = f < 2 ? 2 : f < 4 ? 1 : 0;
            if (!(lined.faces >> f & 1u) || recipe.passivationThickness < 0.5 * edges.along(axis))
                continue;
            int n[3] = {c[0] + faceDirection[f][0], c[1] + faceDirection[f][1],
                        c[2] + faceDirection[f][2]};
            bool inside = n[2] >= 0 && n[2] < size[2];
            for (int a = 0; a < 2; ++a) {
                if (recipe.periodicSides)
                    n[a] = (n[a] + size[a]) % size[a];
                inside = inside && n[a] >= 0 && n[a] < size[a];
            }
            if (inside && grid.material(n[0], n[1], n[2]) == 0)
                out.push_back(grid.index(n[0], n[1], n[2]));
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace

void BoschDrie::run(Model::Automaton::TotalVolume& volume, const BoschRecipe& recipe,
                    Util::ProgressReporter& progress) {
    ensurePassivationPolymer();
    progress.start(std::uint64_t(recipe.cycles) * 3u + 1u);
    CycleProgress phase(progress);
    // A film left as cells by an earlier run would mask the etch.
    strip(volume);
    FilmLining lining;
    for (int cycle = 0; cycle < recipe.cycles; ++cycle) {
        progress.stopIfCancelled();
        lining = line(volume, recipe, cycle, phase);
        progress.advance(2);
        FluxSurfaceAdvance(volume, recipe.etch(cycle), &lining).run(phase);
        progress.advance();
    }
    if (!recipe.stripPassivation)
        FluxSurfaceAdvance::changeCells(volume, filmCells(volume, lining, recipe),
                                        MaterialId(passivationPolymer));
    progress.advance();
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
