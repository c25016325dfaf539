#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

class MooreNeighborhoodEtching {
public:
    MooreNeighborhoodEtching(Model::Automaton::TotalVolume& volume, int materialId, int steps);
    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    int steps;
};

} // namespace Core::Operations
