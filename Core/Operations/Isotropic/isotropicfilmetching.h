#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

class IsotropicFilmEtching {
public:
    IsotropicFilmEtching(Model::Automaton::TotalVolume& volume, int materialId, float depth);
    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    float depth;
};

} // namespace Core::Operations
