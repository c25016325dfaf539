#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

class MooreNeighborhoodDeposition {
public:
    MooreNeighborhoodDeposition(Model::Automaton::TotalVolume& volume, int materialId, int steps);
    void runDeposition(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int steps;
};

} // namespace Core::Operations
