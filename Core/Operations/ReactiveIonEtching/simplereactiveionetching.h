#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// Etches one material straight down from the top, straight up from below, or both: each step
// removes the layer of the material that is exposed to empty space from a chosen side. Other
// materials shield what lies behind them completely; there is no undercut.
class SimpleReactiveIonEtching {
public:
    // Bits of `directions`.
    static constexpr int fromTop = 1;
    static constexpr int fromBelow = 2;

    SimpleReactiveIonEtching(Model::Automaton::TotalVolume& volume, int material, int steps,
                             int directions);

    void runEtching(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int material;
    int steps;
    int directions;
};

} // namespace Core::Operations
