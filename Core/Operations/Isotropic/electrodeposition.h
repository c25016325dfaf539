#pragma once

#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

class Electrodeposition {
public:
    Electrodeposition(Model::Automaton::TotalVolume& volume, int materialId,
                      int conductingMaterialId, float thickness);
    void runDeposition();

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int conductingMaterialId;
    float thickness;
};

} // namespace Core::Operations
