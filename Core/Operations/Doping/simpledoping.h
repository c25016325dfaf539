#pragma once

#include "Core/Operations/materialset.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// Diffusion from the surface: every dopable cell within the doping depth of empty space,
// measured through dopable material, becomes the doped material. The dopable materials are
// those the process registry lists for "Simple Doping".
class SimpleDoping {
public:
    SimpleDoping(Model::Automaton::TotalVolume& volume, int dopedMaterialId, float depth);
    void runDoping(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    const MaterialSet& getDopableMaterials() const { return dopable; }
    static MaterialSet readDopableMaterials();

private:
    Model::Automaton::TotalVolume& volume;
    int dopedMaterialId;
    float depth;
    MaterialSet dopable;
};

} // namespace Core::Operations
