#pragma once

#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// Physical vapour deposition: a film that starts only on horizontal faces (the tops, the
// bottoms or both) and spreads sideways at the horizontal-to-vertical ratio of its vertical
// growth, because the horizontal cell edges are divided by the ratio before distances are
// measured. It never starts from a vertical wall.
class AnisotropicFilmDeposition {
public:
    enum DepositOn { OnTop = 1, OnBottom = 2, OnTopAndBottom = 3 };

    AnisotropicFilmDeposition(Model::Automaton::TotalVolume& volume, int materialId,
                              float thickness, float horizontalRatio, int depositOnMode);
    void runDeposition(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    Model::Automaton::TotalVolume& volume;
    int materialId;
    float thickness;
    float horizontalRatio;
    int depositOnMode;
};

} // namespace Core::Operations
