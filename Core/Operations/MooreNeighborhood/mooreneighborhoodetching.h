#pragma once

#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

class MooreNeighborhoodEtching {
public:
    MooreNeighborhoodEtching(Model::Automaton::TotalVolume& volume, int materialId, int steps);
    void runEtching();

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int steps;
};

} // namespace Core::Operations
