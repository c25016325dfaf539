#pragma once

#include "Model/Automaton/siatom.h"
#include "Util/vector3d.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Model::Automaton {

class CutPlaneSet;
class SiLattice;
class TotalVolume;

// What the atomic renderer draws, gathered from a volume's silicon lattice in one walk per
// rebuild, so that drawing a frame never walks the lattice.
//
// Positions are the volume's own coordinates (what the painter draws in), so a volume that
// was moved after its lattice was built still shows its atoms in place.
class AtomicScene {
public:
    // One copy of a glyph: where it goes and its colour; 16 bytes, uploaded as is.
    struct Instance {
        float x, y, z;
        std::array<std::uint8_t, 4> rgba;
    };

    struct Switches {
        bool atoms = false;
        bool surfaceAtomsOnly = true;
        bool links = false;
        bool unitCells = false;
        bool unitCellOutlines = false;
    };

    // The colour of an atom by how it is bonded: three bonds and second neighbours summing to
    // at least 9 (an atom of a (111) surface) blue, three bonds with fewer orange, two bonds
    // light green, anything else (a Fixed atom counts four) yellow.
    static std::array<std::uint8_t, 4> bondingColor(int bonded, int secondNeighbours);
    static constexpr std::array<std::uint8_t, 4> boundaryColor{255, 0, 127, 255};

    // Each replaces its part with what `lattice` shows, keeping only what the cut planes
    // leave visible; `threads` tasks share the walk (the result does not depend on their
    // number). Without a lattice the part is empty.
    //
    // The unit cells that hold silicon.
    void buildUnitCells(const TotalVolume& volume, const SiLattice* lattice,
                        const CutPlaneSet& planes, int threads);
    // Atoms and bonds, as far as `switches` asks for them.
    void buildAtoms(const TotalVolume& volume, const SiLattice* lattice, const Switches& switches,
                    const CutPlaneSet& planes, int threads);
    void clear();

    // Atoms (the lattice's, then its boundary atoms in magenta).
    const std::vector<Instance>& getAtoms() const { return atoms; }
    // Bonds as pairs of end points, x, y, z each.
    const std::vector<float>& getLinks() const { return links; }
    // Unit cells holding silicon, by their reference corner; the colour is unused.
    const std::vector<Instance>& getUnitCells() const { return unitCells; }

    // What one walk over the lattice collects.
    struct Wanted {
        bool cells = false;
        bool atoms = false;
        bool links = false;
        bool surfaceAtomsOnly = true;
    };

private:
    void gather(const TotalVolume& volume, const SiLattice& lattice, const Wanted& wanted,
                const CutPlaneSet& planes, int threads);

    std::vector<Instance> atoms;
    std::vector<float> links;
    std::vector<Instance> unitCells;
};

} // namespace Model::Automaton
