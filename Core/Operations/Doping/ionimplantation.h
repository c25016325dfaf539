#pragma once

#include "Core/Operations/materialset.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// In every column the ions come to rest at the implantation depth below the top surface,
// passing through any material on the way; the dopable cells there become the doped material,
// and annealing spreads it through dopable material up to the annealing distance. The dopable
// materials are those of "Simple Doping", as for diffusion.
class IonImplantation {
public:
    IonImplantation(Model::Automaton::TotalVolume& volume, int dopedMaterialId,
                    float implantationDepth, float annealingDistance);
    void runImplantation(Util::ProgressReporter& progress = Util::ProgressReporter::none());

    const MaterialSet& getDopableMaterials() const { return dopable; }

private:
    Model::Automaton::TotalVolume& volume;
    int dopedMaterialId;
    float implantationDepth;
    float annealingDistance;
    MaterialSet dopable;
};

} // namespace Core::Operations
