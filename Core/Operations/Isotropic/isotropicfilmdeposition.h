#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

class IsotropicFilmDeposition {
public:
    IsotropicFilmDeposition(Model::Automaton::TotalVolume& volume, int materialId, float thickness);
    void runDeposition(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    float thickness;
};

} // namespace Core::Operations
