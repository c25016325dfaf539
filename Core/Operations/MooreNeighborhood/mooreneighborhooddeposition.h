#pragma once

#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

class MooreNeighborhoodDeposition {
public:
    MooreNeighborhoodDeposition(Model::Automaton::TotalVolume& volume, int materialId, int steps);
    void runDeposition();

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int steps;
};

} // namespace Core::Operations
