#pragma once

#include "Core/Operations/Kernels/strips.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/progressreporter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Core::Operations {

// Strictly vertical removal of one material, shared by photolithography and reactive-ion
// etching. The first front holds every cell of the material that touches an empty cell
// through an open side of its column; each step empties the front's cells and puts the next
// cell of the material further into the column on the new front.
//
// A process supplies a Rule:
//   std::uint32_t material() const          the material that is removed;
//   bool openFromTop(CellIndex column)      whether column x * sizeY + y is etched downwards
//                                           from an empty cell above it;
//   bool openFromBelow(CellIndex column)    whether it is etched upwards from one below.
// The volume's own top and bottom faces are never openings.
//
// Nothing moves sideways, so every cell a strip reads, writes or queues lies in a column of
// the same strip: a step is one pass with no hand-over between strips, and any thread count
// gives the single-strip result. Emptied cells are written to both arrays at once.
template <class Rule> class ColumnFront {
public:
    using CellIndex = Model::Automaton::CellIndex;

    // The caller holds both cell arrays for as long as the front lives.
    ColumnFront(const Model::Automaton::TotalVolume& volume,
                const Model::Automaton::CellArraysLock& cells, const Rule& rule)
        : rule(rule), partition(volume.getSizeX()), cells(cells.materials()),
          sizeY(volume.getSizeY()), sizeZ(volume.getSizeZ()),
          fronts(std::size_t(partition.count())), queued(std::size_t(partition.count())) {}

    // The run whose cancel stops the front at its next pass (see StripPartition::watch).
    void watch(const Util::ProgressReporter& progress) { partition.watch(progress); }

    // Reads every cell of every open column once.
    void seed() {
        partition.runPass([this](const Strip& strip) { seedStrip(strip); });
    }

    // Empties the front's cells and moves the front one cell on; touches only the front.
    void advance() {
        partition.runPass([this](const Strip& strip) { advanceStrip(strip); });
    }

    bool isEmpty() const {
        return std::all_of(fronts.begin(), fronts.end(),
                           [](const std::vector<CellIndex>& front) { return front.empty(); });
    }
    int stripCount() const { return partition.count(); }
    std::size_t frontSize(int strip) const { return fronts[std::size_t(strip)].size(); }

private:
    void seedStrip(const Strip& strip) {
        std::vector<CellIndex>& front = fronts[std::size_t(strip.index)];
        front.clear();
        const std::uint32_t material = rule.material();
        const CellIndex endColumn = CellIndex(strip.end) * sizeY;
        for (CellIndex column = CellIndex(strip.begin) * sizeY; column < endColumn; ++column) {
            const bool fromTop = rule.openFromTop(column);
            const bool fromBelow = rule.openFromBelow(column);
            if (!fromTop && !fromBelow)
                continue;
            const Model::Automaton::MaterialCells run = cells + std::ptrdiff_t(column * sizeZ);
            for (unsigned z = 0; z < sizeZ; ++z) {
                if (run[z] != material)
                    continue;
                if ((fromTop && z + 1 < sizeZ && run[z + 1] == 0) ||
                    (fromBelow && z > 0 && run[std::ptrdiff_t(z) - 1] == 0))
                    front.push_back(column * sizeZ + z);
            }
        }
    }

    void advanceStrip(const Strip& strip) {
        const std::size_t k = std::size_t(strip.index);
        std::vector<CellIndex>& front = fronts[k];
        std::vector<CellIndex>& nextFront = queued[k];
        nextFront.clear();
        const std::uint32_t material = rule.material();
        // The front is in ascending order, so when a cell is emptied here the cell above it
        // is still read as it was when the step began. The cell below may already be empty,
        // but then it was on this front too and queuing it again would change nothing: a step
        // removes exactly the cells of its front, as if every read came before every write.
        for (const CellIndex c : front) {
            const std::ptrdiff_t i = std::ptrdiff_t(c);
            if (cells[i] != material)
                continue;
            cells.set(i, 0);
            const CellIndex column = c / sizeZ;
            const unsigned z = unsigned(c % sizeZ);
            // Etching from below climbs the column, etching from the top descends it.
            if (z + 1 < sizeZ && cells[i + 1] == material && rule.openFromBelow(column))
                nextFront.push_back(c + 1);
            if (z > 0 && cells[i - 1] == material && rule.openFromTop(column))
                nextFront.push_back(c - 1);
        }
        // Two front cells with one cell of the material between them both queue it.
        std::sort(nextFront.begin(), nextFront.end());
        nextFront.erase(std::unique(nextFront.begin(), nextFront.end()), nextFront.end());
        front.swap(nextFront);
    }

    const Rule& rule;
    StripPartition partition;
    Model::Automaton::MaterialCells cells;
    unsigned sizeY;
    unsigned sizeZ;
    std::vector<std::vector<CellIndex>> fronts;
    std::vector<std::vector<CellIndex>> queued;
};

} // namespace Core::Operations
