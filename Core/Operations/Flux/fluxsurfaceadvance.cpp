#include "Core/Operations/Flux/fluxsurfaceadvance.h"

#include "Core/Operations/Kernels/frontpropagation.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Metrology/scale.h"
#include "Model/Transport/fluxengine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
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
    // The axis it is reached along: 0 x, 1 y, 2 z.
    int axis;
    // The flux that removes it without a direction (the neutrals' share): a cell it bares goes
    // on at that flux times its own rate for what is left of the step once it is gone.
    double undirected = 0.0;
};

struct Dose {
    CellIndex cell;
    double microns;
    double edge = 0.0;
    int axis = 2;
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

// The axis a surface cell advances along: z when it is open from above or below.
int axisOf(unsigned faces) {
    if (faces & 3u)
        return 2;
    return faces & 48u ? 0 : 1;
}

// The axis face f of {-z, +z, -y, +y, -x, +x} looks along.
int axisOfFace(int f) {
    return f < 2 ? 2 : f < 4 ? 1 : 0;
}

class Stepper {
public:
    Stepper(Model::Automaton::TotalVolume& volume, const FluxStepRecipe& recipe,
            const FilmLining* lining)
        : volume(volume), recipe(recipe), lining(lining),
          edges(Model::Metrology::CellEdges::of(volume)) {
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
        settings.materialSticking = FluxSurfaceAdvance::registrySticking();
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
            const unsigned exposed = surface.exposedFaces(k);
            unsigned bare = exposed;
            if (lining) {
                // Lined all round, or bared only from below: the film holds the cell.
                bare = exposed & ~linedFaces(cell) & ~1u;
                if (!bare)
                    continue;
            }
            double ion = share > 0.0 ? ions.totalFlux(k) : 0.0;
            // A beam this narrow lands on the faces that look up: on a corner open above and
            // at a side, the flux over both faces is the top's over twice its area.
            if (bare & 2u && recipe.ionExponent >= 100.0)
                ion *= exposedArea(exposed) / edges.sideArea(2);
            double neutral = 0.0;
            if (share < 1.0)
                neutral = recipe.neutralsFromMouth ? mouthNeutrals(grid, neutrals, k, bare)
                                                   : neutrals.totalFlux(k);
            out.push_back({cell, rate * (share * ion + (1.0 - share) * neutral),
                           edges.along(axisOf(bare)), axisOf(bare), (1.0 - share) * neutral});
        }
        return out;
    }

    // What the cells a step bares hold when it ends: an etched cell gone `time` before the end
    // of the step bares its neighbours (all but the one above, which hangs from the wall) and
    // each of them that the surface had not reached, if the plasma etches it, has taken its own
    // rate times the gone cell's undirected flux for that time. The ions came down along the cell's
    // axis, and what they left over passes on along it as before; the neutrals come from every
    // side, so a corner goes on round as an isotropic front does instead of waiting a step per
    // cell. `gone` in cell order; the doses out in cell order, the largest of each cell's kept.
    struct Gone {
        CellIndex cell;
        double time;
        double undirected;
    };
    std::vector<Dose> baredDoses(const std::vector<Gone>& gone) const {
        std::vector<Dose> out;
        if (recipe.kind != FluxStepRecipe::Kind::Etching)
            return out;
        const Model::Automaton::CellArraysLock locked(volume);
        const Model::Automaton::MaterialCells cells = locked.materials();
        for (const Gone& g : gone) {
            if (!(g.time > 0.0 && g.undirected > 0.0))
                continue;
            const std::array<int, 3> c = placeOf(g.cell);
            for (int f = 0; f < 6; ++f) {
                std::array<int, 3> n;
                if (f == 1 || !across(c, f, n))
                    continue;
                const CellIndex next = indexOf(n);
                const MaterialId m = cells[std::ptrdiff_t(next)];
                const double rate = m ? rateOf(m) : 0.0;
                if (!(rate > 0.0))
                    continue;
                const int axis = axisOfFace(f);
                out.push_back({next, rate * g.undirected * g.time, edges.along(axis), axis});
            }
        }
        std::sort(out.begin(), out.end(), [](const Dose& a, const Dose& b) {
            return a.cell < b.cell || (a.cell == b.cell && a.microns > b.microns);
        });
        out.erase(std::unique(out.begin(), out.end(),
                              [](const Dose& a, const Dose& b) { return a.cell == b.cell; }),
                  out.end());
        return out;
    }

    void change(const std::vector<CellIndex>& ready) {
        FluxSurfaceAdvance::changeCells(volume, ready,
                                        recipe.kind == FluxStepRecipe::Kind::Deposition
                                            ? MaterialId(recipe.material)
                                            : MaterialId(0));
    }

private:
    double exposedArea(unsigned faces) const {
        double area = 0.0;
        for (int f = 0; f < 6; ++f)
            if (faces >> f & 1u)
                area += edges.sideArea(f < 2 ? 2 : f < 4 ? 1 : 0);
        return area;
    }

    unsigned linedFaces(CellIndex cell) const {
        const auto found = std::lower_bound(lining->begin(), lining->end(), LinedCell{cell, 0});
        return found != lining->end() && found->cell == cell ? found->faces : 0u;
    }

    // The neutral flux on the floor of the nearest column open to the plasma that surface cell
    // k reaches through one of its open faces and the empty cells level with that face's
    // neighbour; its own flux when it is a floor itself or no such column is found.
    double mouthNeutrals(const Model::Automaton::CellGrid& grid, const SurfaceFlux& neutrals,
                         std::size_t k, unsigned faces) const {
        const std::array<int, 3> c = placeOf(neutrals.cell(k));
        // The open face to start from: the top first, a side next.
        static constexpr int order[6] = {1, 4, 5, 2, 3, 0};
        std::array<int, 3> n = {-1, -1, -1};
        for (const int f : order) {
            if (!(faces >> f & 1u))
                continue;
            const int z = c[2] + faceDirection[f][2];
            if (z < 0 || z >= size[2])
                return neutrals.totalFlux(k);
            if (std::array<int, 3> m; across(c, f, m)) {
                n = m;
                break;
            }
        }
        if (n[0] < 0)
            return neutrals.totalFlux(k);
        // A column is open at height z when its topmost surface cell lies below z.
        const auto openFloor = [&](int x, int y) -> std::ptrdiff_t {
            const std::ptrdiff_t top = neutrals.topOfColumn(unsigned(x), unsigned(y));
            return top >= 0 && int(neutrals.zOf(std::size_t(top))) < n[2] ? top : -1;
        };
        if (const std::ptrdiff_t floor = openFloor(n[0], n[1]); floor >= 0)
            return neutrals.totalFlux(std::size_t(floor));
        // Outwards ring by ring along the four sides, the nearest open column first.
        static constexpr int sides[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        bool alive[4] = {true, true, true, true};
        const int reach = std::max(size[0], size[1]);
        for (int j = 1; j < reach; ++j) {
            bool any = false;
            for (int s = 0; s < 4; ++s) {
                if (!alive[s])
                    continue;
                int x = n[0] + j * sides[s][0], y = n[1] + j * sides[s][1];
                if (recipe.periodicSides) {
                    x = (x % size[0] + size[0]) % size[0];
                    y = (y % size[1] + size[1]) % size[1];
                } else if (x < 0 || x >= size[0] || y < 0 || y >= size[1]) {
                    alive[s] = false;
                    continue;
                }
                if (grid.material(x, y, n[2]) != 0) {
                    alive[s] = false;
                    continue;
                }
                if (const std::ptrdiff_t floor = openFloor(x, y); floor >= 0)
                    return neutrals.totalFlux(std::size_t(floor));
                any = true;
            }
            if (!any)
                break;
        }
        return neutrals.totalFlux(k);
    }

    // A cell's (x, y, z) and back.
    std::array<int, 3> placeOf(CellIndex cell) const {
        const CellIndex strideX = CellIndex(size[1]) * CellIndex(size[2]);
        return {int(cell / strideX), int(cell % strideX / CellIndex(size[2])),
                int(cell % CellIndex(size[2]))};
    }
    CellIndex indexOf(const std::array<int, 3>& p) const {
        return (CellIndex(p[0]) * CellIndex(size[1]) + CellIndex(p[1])) * CellIndex(size[2]) +
               CellIndex(p[2]);
    }
    // The place across face f, taken round the periodic sides; false where it leaves the
    // volume through a closed side.
    bool across(const std::array<int, 3>& c, int f, std::array<int, 3>& n) const {
        bool inside = true;
        for (int a = 0; a < 3; ++a) {
            n[std::size_t(a)] = c[std::size_t(a)] + faceDirection[f][a];
            if (a < 2 && recipe.periodicSides)
                n[std::size_t(a)] = (n[std::size_t(a)] + size[a]) % size[a];
            inside = inside && n[std::size_t(a)] >= 0 && n[std::size_t(a)] < size[a];
        }
        return inside;
    }

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
        for (std::size_t k = 0; k < flux.size(); ++k) {
            const std::array<int, 3> c = placeOf(flux.cell(k));
            const unsigned faces = flux.exposedFaces(k);
            for (int f = 0; f < 6; ++f) {
                if (!(faces >> f & 1u))
                    continue;
                std::array<int, 3> n = {c[0] + faceDirection[f][0], c[1] + faceDirection[f][1],
                                        c[2] + faceDirection[f][2]};
                if (n[2] >= size[2])
                    continue;
                for (std::size_t a = 0; a < 2; ++a)
                    n[a] = (n[a] + size[int(a)]) % size[int(a)];
                const int axis = axisOfFace(f);
                out.push_back(
                    {indexOf(n), recipe.rate * double(flux.totalFlux(k)), edges.along(axis), axis});
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
    const FilmLining* lining;
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

void FluxSurfaceAdvance::changeCells(Model::Automaton::TotalVolume& volume,
                                     const std::vector<CellIndex>& cells, MaterialId film) {
    if (cells.empty())
        return;
    ListedCellsRule rule(cells, film != 0, film);
    FrontPropagation<ListedCellsRule> front(volume, rule);
    // The front kernel's own progress would restart the caller's step count.
    front.run(1);
}

std::map<std::uint32_t, double> FluxSurfaceAdvance::registrySticking() {
    std::map<std::uint32_t, double> sticking;
    for (const Model::Materials::Material& m :
         Model::Materials::MaterialFactory::getInstance()->getMaterials())
        if (m.getSticking())
            sticking[m.getId()] = double(*m.getSticking());
    return sticking;
}

FluxSurfaceAdvance::FluxSurfaceAdvance(Model::Automaton::TotalVolume& volume,
                                       const FluxStepRecipe& recipe, const FilmLining* lining)
    : volume(volume), recipe(recipe), lining(lining) {}

void FluxSurfaceAdvance::run(Util::ProgressReporter& progress) {
    maps = 0;
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(volume);
    const double smallestEdge = std::min({edges.x, edges.y, edges.z});
    double fastest = recipe.rate;
    for (const auto& [material, rate] : recipe.otherRates)
        fastest = std::max(fastest, rate);
    // One map per cell of open-field advance, and one for the rest.
    progress.start(std::uint64_t(std::min(1.0e9, std::ceil(fastest * recipe.time / smallestEdge))) +
                   1);
    Stepper stepper(volume, recipe, lining);
    // What each reached cell holds, and what the cells changed by the last step held beyond
    // their edge, which the cells they expose along the way they went take over: a floor going
    // down hands its excess to the cell below, not to the wall it bares.
    std::vector<Dose> held, beyond;
    const CellIndex strideX = CellIndex(volume.getSizeY()) * volume.getSizeZ();
    const CellIndex offsets[3] = {strideX, CellIndex(volume.getSizeZ()), 1};
    // A cell already reached from a side keeps what it holds, or takes the excess of the cell
    // that has just opened its top, whichever is more.
    const auto carried = [&](CellIndex cell) {
        const Dose* own = findDose(held, cell);
        double most = own ? own->microns : 0.0;
        for (int axis = 0; axis < 3; ++axis) {
            const CellIndex step = offsets[axis];
            if (const Dose* d = findDose(beyond, cell + step); d && d->axis == axis)
                most = std::max(most, d->microns);
            if (cell >= step)
                if (const Dose* d = findDose(beyond, cell - step); d && d->axis == axis)
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
        std::vector<Stepper::Gone> gone;
        for (const Receiver& r : reached) {
            const double microns = carried(r.cell) + r.velocity * dt;
            // A cell filled to within rounding of its edge is full.
            if (microns >= r.edge * (1.0 - 1e-9)) {
                ready.push_back(r.cell);
                const double excess = std::max(0.0, microns - r.edge);
                nextBeyond.push_back({r.cell, excess, r.edge, r.axis});
                gone.push_back({r.cell, r.velocity > 0.0 ? std::min(dt, excess / r.velocity) : dt,
                                r.undirected});
            } else {
                nextHeld.push_back({r.cell, microns, r.edge, r.axis});
            }
        }
        // The cells the step bares start from what they took since it bared them. One the
        // surface reached already has taken its own flux since then (a floor beside a floor
        // cell gone first gets nothing from its side, or a ragged floor would outrun its flux).
        std::vector<Dose> bared = stepper.baredDoses(gone);
        stepper.change(ready);
        const auto reachedBefore = [&](const Dose& d) {
            const auto found =
                std::lower_bound(reached.begin(), reached.end(), d.cell,
                                 [](const Receiver& r, CellIndex cell) { return r.cell < cell; });
            return found != reached.end() && found->cell == d.cell;
        };
        bared.erase(std::remove_if(bared.begin(), bared.end(), reachedBefore), bared.end());
        std::vector<Dose> merged;
        merged.reserve(nextHeld.size() + bared.size());
        std::merge(nextHeld.begin(), nextHeld.end(), bared.begin(), bared.end(),
                   std::back_inserter(merged));
        nextHeld.clear();
        for (const Dose& d : merged) {
            if (!nextHeld.empty() && nextHeld.back().cell == d.cell) {
                if (d.microns > nextHeld.back().microns)
                    nextHeld.back() = d;
            } else {
                nextHeld.push_back(d);
            }
        }
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
    stepper.change(nearer);
}

} // namespace Core::Operations
