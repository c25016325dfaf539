#pragma once

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// Grinds a volume flat from both sides: every cell below the minimum height and every cell at
// or above the maximum height is emptied; the slab between them stays.
class Planarization {
public:
    // A maximum above sizeZ means sizeZ; a negative minimum removes nothing from below.
    Planarization(Model::Automaton::TotalVolume& volume, unsigned maximumHeight, int minimumHeight);

    void runPlanarization(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    void runPartialPlanarization(const Strip& strip);

    Model::Automaton::TotalVolume& volume;
    unsigned maximumHeight;
    unsigned minimumHeight;
    Model::Automaton::MaterialCells materials;
};

} // namespace Core::Operations
