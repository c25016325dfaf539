#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

class Electrodeposition {
public:
    Electrodeposition(Model::Automaton::TotalVolume& volume, int materialId,
                      int conductingMaterialId, float thickness);
    void runDeposition(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int conductingMaterialId;
    float thickness;
};

} // namespace Core::Operations
