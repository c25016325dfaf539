#pragma once

#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

class IsotropicFilmEtching {
public:
    IsotropicFilmEtching(Model::Automaton::TotalVolume& volume, int materialId, float depth);
    void runEtching();

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    float depth;
};

} // namespace Core::Operations
