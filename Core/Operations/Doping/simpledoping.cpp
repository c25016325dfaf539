#include "Core/Operations/Doping/simpledoping.h"

#include "Core/Operations/Doping/dopingrule.h"

namespace Core::Operations {

SimpleDoping::SimpleDoping(Model::Automaton::TotalVolume& volume, int dopedMaterialId, float depth)
    : volume(volume), dopedMaterialId(dopedMaterialId), depth(depth),
      dopable(readDopableMaterials()) {}

MaterialSet SimpleDoping::readDopableMaterials() {
    return MaterialSet::compatibleWith(QStringLiteral("Simple Doping"));
}

void SimpleDoping::runDoping(Util::ProgressReporter& progress) {
    if (dopable.empty() || !std::isfinite(depth))
        return;
    DopingRule rule(volume, std::uint32_t(dopedMaterialId), depth, dopable);
    FrontPropagation<DopingRule> front(volume, rule);
    front.run(FaceSteps::stepCount(depth, volume.getCellSizeX(), volume.getCellSizeY(),
                                   volume.getCellSizeZ()),
              progress);
}

} // namespace Core::Operations
