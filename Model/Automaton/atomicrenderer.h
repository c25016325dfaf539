#pragma once

#include "Model/Automaton/atomicscene.h"

#include <memory>

namespace Model::Automaton {

class CutPlaneSet;
class TotalVolume;

// Draws a volume's silicon lattice over its cell surface: atoms as small spheres coloured by
// their bonding, bonds as lines, unit cells as translucent boxes or outlines.
//
// A rebuild walks the lattice once and keeps what is shown as flat lists (AtomicScene); the
// next draw uploads them into GL buffers, and every frame after that draws from the buffers
// alone: one sphere shared by all atoms, instanced by position and colour where the context
// can (one call for all atoms), one translation per atom where it cannot. Building needs no
// GL context; drawing belongs to the thread of the context it draws in.
//
// GL objects belong to the context they were made in; drawing in another context (the view
// was moved to another window) makes them afresh there.
class AtomicRenderer {
public:
    AtomicRenderer(TotalVolume& volume, CutPlaneSet& cutPlanes);
    ~AtomicRenderer();
    AtomicRenderer(const AtomicRenderer&) = delete;
    AtomicRenderer& operator=(const AtomicRenderer&) = delete;

    // Rebuild what is shown from the volume's lattice as it is now (nothing without one).
    void buildUnitCells();
    void buildAtoms();

    // Called inside the painter's matrix: atoms, bonds and cell outlines.
    void drawOpaque();
    // Called with blending on and depth writes off: the translucent unit cells.
    void drawTransparent();

    bool getRenderUnitCells() const { return switches.unitCells; }
    void setRenderUnitCells(bool value) { switches.unitCells = value; }
    bool getRenderUnitCellOutlines() const { return switches.unitCellOutlines; }
    void setRenderUnitCellOutlines(bool value) { switches.unitCellOutlines = value; }
    bool getRenderAtoms() const { return switches.atoms; }
    void setRenderAtoms(bool value) { switches.atoms = value; }
    bool getSurfaceAtomsOnly() const { return switches.surfaceAtomsOnly; }
    void setSurfaceAtomsOnly(bool value) { switches.surfaceAtomsOnly = value; }
    bool getRenderAtomLinks() const { return switches.links; }
    void setRenderAtomLinks(bool value) { switches.links = value; }

    // Tasks the lattice walk is split into; 0 means the thread count of a fresh pool.
    void setBuildThreads(int threads) { buildThreads = threads; }

    const AtomicScene& getScene() const { return scene; }
    // Whether the last build found atoms or bonds to draw.
    bool showsAtomsOrBonds() const {
        return (switches.atoms && !scene.getAtoms().empty()) ||
               (switches.links && !scene.getLinks().empty());
    }
    // Instanced drawing is used where the context offers it unless switched off here (tests
    // compare both ways; a driver that draws instances wrongly can be worked around).
    void setInstancing(bool allowed) { instancingAllowed = allowed; }
    // Whether the last draw used one instanced call per glyph.
    bool drewInstanced() const;

private:
    struct Gpu;
    bool prepareGpu();
    void drawGlyphs(int glyph, const std::vector<AtomicScene::Instance>& instances, int buffer,
                    const float* fixedColor);

    TotalVolume& volume;
    CutPlaneSet& cutPlanes;
    AtomicScene::Switches switches;
    AtomicScene scene;
    int buildThreads = 0;
    bool instancingAllowed = true;
    // What changed since the last upload.
    bool cellsChanged = true;
    bool atomsChanged = true;
    std::unique_ptr<Gpu> gpu;
};

} // namespace Model::Automaton
