#include "Core/Operations/Planarization/planarization.h"

#include "Model/Automaton/cellarrayslock.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <algorithm>

namespace Core::Operations {

namespace {
Q_LOGGING_CATEGORY(lcPlanarization, "Core/Operations/Planarization/planarization", QtInfoMsg)
} // namespace

Planarization::Planarization(Model::Automaton::TotalVolume& volume, unsigned maximumHeight,
                             int minimumHeight)
    : volume(volume), maximumHeight(std::min(maximumHeight, volume.getSizeZ())),
      minimumHeight(unsigned(std::clamp<long long>(minimumHeight, 0, volume.getSizeZ()))) {}

void Planarization::runPlanarization(Util::ProgressReporter& progress) {
    const Model::Automaton::CellArraysLock cells(volume);
    materials = cells.materials();
    StripPartition partition(volume.getSizeX());
    partition.watch(progress);
    progress.start(1);
    const int threads = StripPartition::poolThreadCount();
    const unsigned width = volume.getSizeX() / unsigned(threads);
    qCDebug(lcPlanarization) << Q_FUNC_INFO << "Threads " << threads;
    qCDebug(lcPlanarization) << Q_FUNC_INFO << "Cells per thread "
                             << Model::Automaton::CellIndex(volume.getSizeY()) * volume.getSizeZ() *
                                    width;
    QElapsedTimer timer;
    timer.start();
    partition.runPass([this](const Strip& strip) { runPartialPlanarization(strip); });
    progress.advance();
    qCDebug(lcPlanarization) << Q_FUNC_INFO << "Elapsed time " << timer.elapsed();
}

void Planarization::runPartialPlanarization(const Strip& strip) {
    const unsigned sizeY = volume.getSizeY(), sizeZ = volume.getSizeZ();
    const auto empty = [this](Model::Automaton::CellIndex first, Model::Automaton::CellIndex end) {
        // Most of what lies above a planarized surface is empty already; leaving those cells
        // unwritten keeps their memory clean, which is most of the cost here.
        for (Model::Automaton::CellIndex i = first; i < end; ++i) {
            if (materials[std::ptrdiff_t(i)] != 0)
                materials.set(std::ptrdiff_t(i), 0);
        }
    };
    for (unsigned x = strip.begin; x < strip.end; ++x) {
        for (unsigned y = 0; y < sizeY; ++y) {
            const Model::Automaton::CellIndex column = volume.index(x, y, 0);
            empty(column, column + minimumHeight);
            empty(column + maximumHeight, column + sizeZ);
        }
    }
}

} // namespace Core::Operations
