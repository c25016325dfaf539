#pragma once

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

namespace Core::Operations {

// Pours a material in like a liquid that levels out: every empty cell below the height is
// filled, enclosed voids and cavities under overhangs included; no material is replaced.
class SpinCoating {
public:
    // A height above sizeZ means sizeZ.
    SpinCoating(Model::Automaton::TotalVolume& volume, int materialId, unsigned height);

    void runSpinCoating(Util::ProgressReporter& progress = Util::ProgressReporter::none());

private:
    void runPartialSpinCoating(const Strip& strip);

    Model::Automaton::TotalVolume& volume;
    std::uint32_t materialId;
    unsigned height;
    Model::Automaton::MaterialCells materials;
};

} // namespace Core::Operations
