#include "Core/Operations/Doping/ionimplantation.h"

#include "Core/Operations/Doping/dopingrule.h"
#include "Core/Operations/Doping/simpledoping.h"

namespace Core::Operations {

IonImplantation::IonImplantation(Model::Automaton::TotalVolume& volume, int dopedMaterialId,
                                 float implantationDepth, float annealingDistance)
    : volume(volume), dopedMaterialId(dopedMaterialId), implantationDepth(implantationDepth),
      annealingDistance(annealingDistance), dopable(SimpleDoping::readDopableMaterials()) {}

void IonImplantation::runImplantation(Util::ProgressReporter& progress) {
    if (dopable.empty() || !std::isfinite(implantationDepth) || !std::isfinite(annealingDistance))
        return;
    ImplantationRule rule(volume, std::uint32_t(dopedMaterialId), implantationDepth,
                          annealingDistance, dopable);
    FrontPropagation<ImplantationRule> front(volume, rule);
    front.run(FaceSteps::stepCount(annealingDistance, volume.getCellSizeX(), volume.getCellSizeY(),
                                   volume.getCellSizeZ()),
              progress);
}

} // namespace Core::Operations
