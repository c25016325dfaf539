#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/materialcells.h"
#include "Util/progressreporter.h"

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
struct CellGrid;
} // namespace Model::Automaton

namespace Model::Transport {

// Particle flux onto the surface of a cell volume, by tracing rays from the plasma or vapour
// above it.
//
// Model. Particles start on the plane of the volume's top face, uniformly over it, with a
// direction drawn from a cosine-power distribution about the downward vertical:
//
//     p(Ω) dΩ = (n + 1) / (2π) · cos^n θ dΩ,   sampled as cos θ = u^(1 / (n + 1)), φ = 2π v,
//
// n = 1 is a Lambertian (neutral) source, n of 100 and more a beam of ions. A particle flies
// straight until it enters a cell that holds material, across one of that cell's faces. There it
// sticks with the sticking probability s of the material, or is re-emitted diffusely (cosine
// about the face normal, n = 1) from the point it hit, up to a limit of bounces. The engine
// follows the expected particle rather than a coin toss per hit: a ray carries a weight w,
// starting at 1, adds w to the face's tally on every hit and goes on with w (1 − s); below a
// tenth it survives a roulette with probability 10 w at weight 0.1, which keeps every tally's
// expectation. Particles that leave through the top escape; through a side they re-enter from
// the opposite side when the sides are periodic (the wafer continues) and are lost otherwise.
//
// Normalisation. With N rays over a source of area A, a surface cell whose exposed faces have
// the area a and collected the weight W has the flux density Γ = W A / (N a): an unshadowed
// horizontal face under periodic sides receives exactly 1. The direct part counts first hits
// only, the total part every hit. At the bottom centre of a slot of aspect ratio AR (depth over
// width, sticking 1) the direct flux of a Lambertian source is the view factor to the slot's
// opening, 1 / √(1 + 4 AR²) (Hottel's crossed strings); at the centre of the bottom of a round
// hole it is that of a coaxial disk, 1 / (1 + 4 AR²) (Siegel and Howell, Thermal Radiation Heat
// Transfer, configuration factors of a differential element to a parallel disk). With sticking
// below 1 the walls pass particles on to the bottom, which is Coburn and Winters' conductance
// argument for the fill of a feature (J. Vac. Sci. Technol. B 7 (1989) 1213).
//
// Traversal. A 3D digital differential analyser over the cells in two modes, chosen because the
// surface stays the exact cell faces with nothing to rebuild as it moves, and because most of a
// wafer's rays cross only empty space above a height field before they land. Above the height
// field (a cell at or above the top of its column, the z just over the column's highest cell of
// material) only that top can be hit, so a ray goes a column at a time: a falling ray first drops
// straight to the highest top of the volume, then lands on a column's top when it reaches its
// height before leaving the column, and its z follows in one multiply when it leaves; the
// surface cell of such a hit is the column's last, found without a search. Below the height
// field, where caves, overhangs and tunnels lie, the walk goes cell by cell and skips empty
// space a block at a time through two occupancy levels, 8³ and 64³ cells, set only for blocks
// that hold a surface cell; a ray enters material only through a surface cell, so cells are
// tested against the surface cells' bits of their 8³ brick (64 bytes a brick that has any),
// which stay in cache where the volume's own cells would not. Both modes keep one set of
// boundary times, so a ray meets the cells a plain cell-by-cell walk meets, and no step
// divides. The face a ray enters is the axis of its last step, so a re-emitted ray starts
// in the empty neighbour without an epsilon. A mesh tracer on the surface's triangles (the
// peer in bench/peers.py) would need the mesh rebuilt after every step of a process, and on the
// trench scene there it traces about two thirds of this walk's rays a second on one thread.
//
// Reproducibility. Rays go in fixed batches; ray i of pass p draws its numbers from a stream of
// its own, keyed by (seed, p, i), and tallies are integers (weight × 2^24), so a seed gives the
// same flux at any thread count.
//
// Memory: per surface cell (its z, faces, two tallies while tracing, two floats), per column of
// the volume (where its surface cells begin and its top), one slot per 8³ brick and the surface
// bricks' bits; nothing per cell of the volume.
struct FluxSettings {
    // Cosine power of the source's angular distribution: 1 Lambertian, 100 and more ions.
    double sourceExponent = 1.0;
    // The sticking probability of every material that has none of its own.
    double sticking = 1.0;
    // Sticking probabilities of single materials by id.
    std::map<std::uint32_t, double> materialSticking;
    bool periodicSides = false;
    // Rays traced per surface cell; the flux's noise falls as one over its square root.
    int raysPerCell = 64;
    std::uint64_t seed = 0;
    // Which run of a seed this is (a time step of a process): each draws other rays.
    std::uint64_t pass = 0;
    // Re-emissions a ray may make before it is dropped.
    int bounceLimit = 1000;

    // Why these settings cannot run, as a sentence; empty when they can.
    QString refusal() const;
};

// The flux on each surface cell: a cell that holds material and has at least one face on an
// empty cell (the space above the volume counts as empty, the sides as periodic when the
// settings say so). Cells are kept in cell order, column by column.
class SurfaceFlux {
public:
    using CellIndex = Model::Automaton::CellIndex;

    std::size_t size() const { return z.size(); }
    CellIndex cell(std::size_t k) const;
    // The surface cell of cell `index`, or -1 when that cell is not on the surface.
    std::ptrdiff_t find(CellIndex index) const;
    // The topmost surface cell of column (x, y), or -1 when the column has none.
    std::ptrdiff_t topOfColumn(unsigned x, unsigned y) const;
    // The surface cells of column (x, y) are [first, end), bottom up; each lies at height zOf.
    std::size_t columnFirst(unsigned x, unsigned y) const {
        return std::size_t(columnStart[std::size_t(x) * sizeY + y]);
    }
    std::size_t columnEnd(unsigned x, unsigned y) const {
        return std::size_t(columnStart[std::size_t(x) * sizeY + y + 1]);
    }
    unsigned zOf(std::size_t k) const { return z[k]; }
    // Faces on empty cells, bit f for direction f of {-z, +z, -y, +y, -x, +x}.
    unsigned exposedFaces(std::size_t k) const { return faces[k]; }
    float directFlux(std::size_t k) const { return direct[k]; }
    float totalFlux(std::size_t k) const { return total[k]; }

    unsigned sizeX = 0, sizeY = 0, sizeZ = 0;
    // Source rays and all ray segments (source rays plus re-emissions) traced.
    std::uint64_t sourceRays = 0;
    std::uint64_t tracedRays = 0;

private:
    friend class FluxEngine;
    // Surface cells of column c are [columnStart[c], columnStart[c + 1]).
    std::vector<std::uint64_t> columnStart;
    std::vector<std::uint32_t> z;
    std::vector<std::uint8_t> faces;
    std::vector<float> direct;
    std::vector<float> total;
};

// Ray `ray` of a run with `settings` over a volume of size[3] cells with edges cellSize[3], as
// the engine draws it: its start on the top face (in cells from the volume's low corner) and
// its unit direction. For tracers the engine is compared with.
struct SourceRay {
    double origin[3];
    double direction[3];
};
SourceRay sourceRay(const FluxSettings& settings, const int size[3], std::uint64_t ray);

class FluxEngine {
public:
    // Takes the volume's cells for the run. Checks `progress` for a cancel between rounds of
    // rays and throws Util::RunCancelled once asked to stop.
    static SurfaceFlux compute(Model::Automaton::TotalVolume& volume, const FluxSettings& settings,
                               Util::ProgressReporter& progress = Util::ProgressReporter::none());
    // On cells the caller already holds.
    static SurfaceFlux compute(const Model::Automaton::CellGrid& grid, const FluxSettings& settings,
                               Util::ProgressReporter& progress = Util::ProgressReporter::none());
};

} // namespace Model::Transport
