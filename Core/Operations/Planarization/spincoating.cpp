#include "Core/Operations/Planarization/spincoating.h"

#include "Model/Automaton/cellarrayslock.h"

#include <algorithm>

namespace Core::Operations {

SpinCoating::SpinCoating(Model::Automaton::TotalVolume& volume, int materialId, unsigned height)
    : volume(volume), materialId(std::uint32_t(materialId)),
      height(std::min(height, volume.getSizeZ())) {}

void SpinCoating::runSpinCoating(Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock cells(volume);
    materials = cells.materials();
    StripPartition partition(volume.getSizeX());
    partition.watch(progress);
    progress.start(1);
    partition.runPass([this](const Strip& strip) { runPartialSpinCoating(strip); });
    progress.advance();
}

void SpinCoating::runPartialSpinCoating(const Strip& strip) {
    const unsigned sizeY = volume.getSizeY();
    for (unsigned x = strip.begin; x < strip.end; ++x) {
        for (unsigned y = 0; y < sizeY; ++y) {
            const Model::Automaton::CellIndex column = volume.index(x, y, 0);
            for (Model::Automaton::CellIndex i = column; i < column + height; ++i) {
                if (materials[std::ptrdiff_t(i)] == 0)
                    materials.set(std::ptrdiff_t(i), materialId);
            }
        }
    }
}

} // namespace Core::Operations
