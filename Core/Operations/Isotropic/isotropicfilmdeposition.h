#pragma once

#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

class IsotropicFilmDeposition {
public:
    IsotropicFilmDeposition(Model::Automaton::TotalVolume& volume, int materialId, float thickness);
    void runDeposition();

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    float thickness;
};

} // namespace Core::Operations
