#include "Core/Operations/Flux/fluxsurfaceadvance.h"

#include "Core/Operations/Kernels/frontpropagation.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/scale.h"
#include "Model/Transport/fluxengine.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Core::Operations {

using Model::Automaton::CellIndex;
using Model::Automaton::MaterialId;
using Model::Transport::FluxEngine;
using Model::Transport::FluxSettings;
using Model::Transport::SurfaceFlux;

namespace {

// A cell the surface reaches: how fast it fills or empties (µm/min) and how much it takes.
struct Receiver {
    CellIndex cell;
    double velocity;
    double edge;
};

struct Dose {
    CellIndex cell;
    double microns;
    double edge = 0.0;
    bool operator<(const Dose& other) const { return cell < other.cell; }
};

const Dose* findDose(const std::vector<Dose>& doses, CellIndex cell) {
    const auto found = std::lower_bound(doses.begin(), doses.end(), Dose{cell, 0.0});
    return found != doses.end() && found->cell == cell ? &*found : nullptr;
}

// Empties (etching) or fills (deposition) the listed cells in one front step: the front is the
// cells beside the other phase, and only the listed ones among them change.
class ListedCellsRule : public FrontRuleDefaults {
public:
    static constexpr FrontNeighbourhood neighbourhood = FrontNeighbourhood::Faces;
    using State = NoState;
    using Grid = FrontGrid<State>;
    using Cell = FrontCell<State>;

    ListedCellsRule(const std::vector<CellIndex>& cells, bool deposition, MaterialId film)
        : cells(cells), deposition(deposition), film(film) {}

    State idle(MaterialId) const { return State(); }
    bool isSource(const Cell& cell) const { return (cell.material == 0) != deposition; }
    bool mayJoin(const Cell& cell) const { return (cell.material == 0) == deposition; }
    bool visit(const Grid&, CellIndex i, int, int, int, Cell& pending) const {
        if (!std::binary_search(cells.begin(), cells.end(), i))
            return false;
        pending.material = deposition ? film : 0;
        return true;
    }
    bool queues(MaterialId) const { return false; }

private:
    const std::vector<CellIndex>& cells;
    bool deposition;
    MaterialId film;
};

// The edge a surface cell advances across: along z when it is open from above or below.
double edgeOf(unsigned faces, const Model::Metrology::CellEdges& edges) {
    if (faces & 3u)
        return edges.z;
    return faces & 48u ? edges.x : edges.y;
}

class Stepper {
public:
    Stepper(Model::Automaton::TotalVolume& volume, const FluxStepRecipe& recipe)
        : volume(volume), recipe(recipe), edges(Model::Metrology::CellEdges::of(volume)) {
        size[0] = int(volume.getSizeX());
        size[1] = int(volume.getSizeY());
        size[2] = int(volume.getSizeZ());
    }

    // The cells the surface reaches now, in cell order.
    std::vector<Receiver> receivers(std::uint64_t pass, Util::ProgressReporter& progress) {
        const Model::Automaton::CellArraysLock locked(volume);
        const Model::Automaton::MaterialCells cells = locked.materials();
        const Model::Automaton::CellGrid grid = Model::Automaton::CellGrid::of(volume, cells);
        FluxSettings settings;
        // Materials with a sticking probability of their own keep it.
        for (const Model::Materials::Material& m :
             Model::Materials::MaterialFactory::getInstance()->getMaterials())
            if (m.getSticking())
                settings.materialSticking[m.getId()] = double(*m.getSticking());
        settings.periodicSides = recipe.periodicSides;
        settings.raysPerCell = recipe.raysPerCell;
        settings.seed = recipe.seed;
        std::vector<Receiver> out;
        if (recipe.kind == FluxStepRecipe::Kind::Deposition) {
            settings.sourceExponent = recipe.sourceExponent;
            settings.sticking = recipe.sticking;
            settings.pass = pass;
            const SurfaceFlux flux = FluxEngine::compute(grid, settings, progress);
            return depositionReceivers(flux);
        }
        const double share = recipe.ionShare;
        SurfaceFlux ions, neutrals;
        if (share > 0.0) {
            FluxSettings ionSettings = settings;
            ionSettings.materialSticking.clear();
            ionSettings.sourceExponent = recipe.ionExponent;
            ionSettings.sticking = 1.0;
            ionSettings.pass = 2 * pass;
            ions = FluxEngine::compute(grid, ionSettings, progress);
        }
        if (share < 1.0) {
            settings.sourceExponent = 1.0;
            settings.sticking = recipe.neutralSticking;
            settings.pass = 2 * pass + 1;
            neutrals = FluxEngine::compute(grid, settings, progress);
        }
        const SurfaceFlux& surface = share > 0.0 ? ions : neutrals;
        for (std::size_t k = 0; k < surface.size(); ++k) {
            const CellIndex cell = surface.cell(k);
            const double rate = rateOf(cells[std::ptrdiff_t(cell)]);
            if (!(rate > 0.0))
                continue;
            const double ion = share > 0.0 ? ions.totalFlux(k) : 0.0;
            const double neutral = share < 1.0 ? neutrals.totalFlux(k) : 0.0;
            const unsigned faces = surface.exposedFaces(k);
            const double gain = faces & 3u ? 1.0 : recipe.lateralGain;
            out.push_back({cell, gain * rate * (share * ion + (1.0 - share) * neutral),
                           edgeOf(faces, edges)});
        }
        return out;
    }

    void change(const std::vector<CellIndex>& ready, Util::ProgressReporter& progress) {
        if (ready.empty())
            return;
        ListedCellsRule rule(ready, recipe.kind == FluxStepRecipe::Kind::Deposition,
                             MaterialId(recipe.material));
        FrontPropagation<ListedCellsRule> front(volume, rule);
        // The front kernel's own progress would restart the step count every map.
        (void)progress;
        front.run(1);
    }

private:
    double rateOf(MaterialId m) const {
        if (m == recipe.material)
            return recipe.rate;
        const auto found = recipe.otherRates.find(m);
        return found != recipe.otherRates.end() ? found->second : 0.0;
    }

    // Every empty cell across an exposed face of the surface, at the largest flux it faces.
    std::vector<Receiver> depositionReceivers(const SurfaceFlux& flux) const {
        std::vector<Receiver> out;
        out.reserve(flux.size());
        const CellIndex strideX = CellIndex(size[1]) * CellIndex(size[2]);
        for (std::size_t k = 0; k < flux.size(); ++k) {
            const CellIndex cell = flux.cell(k);
            int c[3] = {int(cell / strideX), int(cell % strideX / CellIndex(size[2])),
                        int(cell % CellIndex(size[2]))};
            const unsigned faces = flux.exposedFaces(k);
            for (int f = 0; f < 6; ++f) {
                if (!(faces >> f & 1u))
                    continue;
                int n[3] = {c[0] + faceDirection[f][0], c[1] + faceDirection[f][1],
                            c[2] + faceDirection[f][2]};
                if (n[2] >= size[2])
                    continue;
                for (int a = 0; a < 2; ++a)
                    n[a] = (n[a] + size[a]) % size[a];
                const int axis = f / 2 == 0 ? 2 : f / 2 == 1 ? 1 : 0;
                out.push_back({CellIndex(n[0]) * strideX + CellIndex(n[1]) * CellIndex(size[2]) +
                                   CellIndex(n[2]),
                               recipe.rate * double(flux.totalFlux(k)), edges.along(axis)});
            }
        }
        std::sort(out.begin(), out.end(), [](const Receiver& a, const Receiver& b) {
            return a.cell < b.cell || (a.cell == b.cell && a.velocity > b.velocity);
        });
        // The fastest of each cell's entries comes first.
        out.erase(
            std::unique(out.begin(), out.end(),
                        [](const Receiver& a, const Receiver& b) { return a.cell == b.cell; }),
            out.end());
        return out;
    }

    Model::Automaton::TotalVolume& volume;
    const FluxStepRecipe& recipe;
    Model::Metrology::CellEdges edges;
    int size[3] = {};
};

bool probability(double p) {
    return std::isfinite(p) && p >= 0.0 && p <= 1.0;
}

bool usableRate(double value) {
    return std::isfinite(value) && value >= 0.0 && value <= 1.0e9;
}

} // namespace

QString FluxStepRecipe::refusal() const {
    if (!usableRate(rate))
        return QStringLiteral("The rate must be 0 µm/min or more, not %1.").arg(rate);
    if (!usableRate(time))
        return QStringLiteral("The time must be 0 minutes or more, not %1.").arg(time);
    if (!usableRate(rate * time))
        return QStringLiteral("%1 µm/min for %2 minutes is beyond any volume.").arg(rate).arg(time);
    for (const auto& [material, other] : otherRates)
        if (!usableRate(other))
            return QStringLiteral("The rate of material %1 must be 0 µm/min or more, not %2.")
                .arg(material)
                .arg(other);
    if (material == 0 || material > Model::Automaton::largestMaterialId)
        return QStringLiteral("The material must be a material of the registry, not %1.")
            .arg(material);
    FluxSettings settings;
    settings.raysPerCell = raysPerCell;
    if (kind == Kind::Etching) {
        if (!probability(ionShare))
            return QStringLiteral("The ion share must be a number from 0 to 1, not %1.")
                .arg(ionShare);
        if (!std::isfinite(lateralGain) || lateralGain < 0.0 || lateralGain > 1.0e3)
            return QStringLiteral("The lateral gain must be a number from 0 to 1000, not %1.")
                .arg(lateralGain);
        if (!probability(neutralSticking))
            return QStringLiteral("The neutral sticking probability must be a number from 0 to 1, "
                                  "not %1.")
                .arg(neutralSticking);
        settings.sourceExponent = ionExponent;
        if (!std::isfinite(ionExponent) || ionExponent < 0.0 || ionExponent > 1.0e6)
            return QStringLiteral("The ion exponent must be a number from 0 to 1000000, not %1.")
                .arg(ionExponent);
    } else {
        settings.sourceExponent = sourceExponent;
        settings.sticking = sticking;
    }
    return settings.refusal();
}

FluxSurfaceAdvance::FluxSurfaceAdvance(Model::Automaton::TotalVolume& volume,
                                       const FluxStepRecipe& recipe)
    : volume(volume), recipe(recipe) {}

void FluxSurfaceAdvance::run(Util::ProgressReporter& progress) {
    maps = 0;
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    const double smallestEdge = std::min({edges.x, edges.y, edges.z});
    double fastest = recipe.rate;
    for (const auto& [material, rate] : recipe.otherRates)
        fastest = std::max(fastest, rate);
    fastest *= std::max(1.0, recipe.lateralGain);
    // One map per cell of open-field advance, and one for the rest.
    progress.start(std::uint64_t(std::min(1.0e9, std::ceil(fastest * recipe.time / smallestEdge))) +
                   1);
    Stepper stepper(volume, recipe);
    // What each reached cell holds, and what the cells changed by the last step held beyond
    // their edge, which the cells they expose take over.
    std::vector<Dose> held, beyond;
    const CellIndex strideX = CellIndex(volume.getSizeY()) * volume.getSizeZ();
    const CellIndex offsets[3] = {strideX, CellIndex(volume.getSizeZ()), 1};
    const auto carried = [&](CellIndex cell) {
        if (const Dose* d = findDose(held, cell))
            return d->microns;
        double most = 0.0;
        for (const CellIndex step : offsets) {
            if (const Dose* d = findDose(beyond, cell + step))
                most = std::max(most, d->microns);
            if (cell >= step)
                if (const Dose* d = findDose(beyond, cell - step))
                    most = std::max(most, d->microns);
        }
        return most;
    };
    double elapsed = 0.0;
    for (std::uint64_t pass = 0; elapsed < recipe.time; ++pass) {
        progress.stopIfCancelled();
        const std::vector<Receiver> reached = stepper.receivers(pass, progress);
        ++maps;
        double fastestCell = 0.0;
        for (const Receiver& r : reached)
            fastestCell = std::max(fastestCell, r.velocity);
        if (!(fastestCell > 0.0))
            break;
        const double left = recipe.time - elapsed;
        const double dt = std::min(left, smallestEdge / fastestCell);
        // The last step ends the run exactly, whatever rounding says of the sum.
        elapsed = dt == left ? recipe.time : elapsed + dt;
        std::vector<Dose> nextHeld, nextBeyond;
        std::vector<CellIndex> ready;
        for (const Receiver& r : reached) {
            const double microns = carried(r.cell) + r.velocity * dt;
            // A cell filled to within rounding of its edge is full.
            if (microns >= r.edge * (1.0 - 1e-9)) {
                ready.push_back(r.cell);
                nextBeyond.push_back({r.cell, std::max(0.0, microns - r.edge)});
            } else {
                nextHeld.push_back({r.cell, microns, r.edge});
            }
        }
        stepper.change(ready, progress);
        held = std::move(nextHeld);
        beyond = std::move(nextBeyond);
        progress.advance();
    }
    // The front ends where rate × time puts it, to the nearest cell: a cell past half its edge
    // changes too, as a front between two cells is drawn at the nearer face.
    std::vector<CellIndex> nearer;
    for (const Dose& d : held)
        if (d.microns >= 0.5 * d.edge)
            nearer.push_back(d.cell);
    stepper.change(nearer, progress);
}

} // namespace Core::Operations
