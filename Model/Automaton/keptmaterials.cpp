#include "Model/Automaton/keptmaterials.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/compressedframe.h"
#include "Model/Automaton/strips.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Model::Automaton {

namespace {

// Cells read or compared at a time.
constexpr CellIndex chunk = 4096;

// Collects the changed cells of a slab into runs for both directions.
class RunWriter {
public:
    void changed(CellIndex cell, std::uint32_t was, std::uint32_t is) {
        if (!before.empty() && cell != first + before.size())
            flush();
        if (before.empty())
            first = cell;
        before.push_back(was);
        after.push_back(is);
        if (before.size() == MaterialChanges::longestRun)
            flush();
    }
    std::pair<std::string, std::string> finish() {
        flush();
        return {beforeFrame.finish(), afterFrame.finish()};
    }

private:
    void flush() {
        if (before.empty())
            return;
        unsigned char header[12];
        const std::uint64_t firstCell = first;
        const std::uint32_t count = std::uint32_t(before.size());
        std::memcpy(header, &firstCell, 8);
        std::memcpy(header + 8, &count, 4);
        const std::size_t bytes = before.size() * sizeof(std::uint32_t);
        beforeFrame.write(header, sizeof header);
        beforeFrame.write(before.data(), bytes);
        afterFrame.write(header, sizeof header);
        afterFrame.write(after.data(), bytes);
        before.clear();
        after.clear();
    }

    CellIndex first = 0;
    std::vector<std::uint32_t> before;
    std::vector<std::uint32_t> after;
    CompressedFrameWriter beforeFrame;
    CompressedFrameWriter afterFrame;
};

// Hands the kept materials of cells [first, end) to `visit(firstCell, materials, count)` a
// chunk at a time, as keep() wrote them.
template <class Visit>
void readKept(const std::string& bytes, CellIndex first, CellIndex end, Visit&& visit) {
    CompressedFrameReader reader(bytes);
    std::uint32_t materials[chunk];
    for (CellIndex i = first; i < end; i += chunk) {
        const CellIndex n = std::min(chunk, end - i);
        // The frame was written here, whole, by keep().
        if (!reader.read(materials, n * sizeof(std::uint32_t)))
            throw std::logic_error("a kept copy of the cells is damaged");
        visit(i, materials, n);
    }
}

} // namespace

bool KeptMaterials::keep(TotalVolume& volume) {
    clear();
    try {
        const StripPartition partition(volume.getSizeX());
        std::vector<Frame> kept(partition.getStrips().size());
        const CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
        const MaterialCells cells = locked.materials();
        partition.runPass([&](const Strip& strip) {
            Frame& frame = kept[std::size_t(strip.index)];
            frame.first = volume.index(strip.begin, 0, 0);
            frame.end = volume.index(strip.end, 0, 0);
            CompressedFrameWriter writer;
            std::uint32_t materials[chunk];
            for (CellIndex i = frame.first; i < frame.end; i += chunk) {
                const CellIndex n = std::min(chunk, frame.end - i);
                for (CellIndex j = 0; j < n; ++j)
                    materials[j] = cells[std::ptrdiff_t(i + j)];
                writer.write(materials, n * sizeof(std::uint32_t));
            }
            frame.bytes = writer.finish();
        });
        frames = std::move(kept);
        cellCount = volume.getCellCount();
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    return true;
}

bool KeptMaterials::putBack(TotalVolume& volume) const {
    if (!isKept() || cellCount != volume.getCellCount())
        return false;
    const CellArraysLock locked(volume);
    const MaterialCells cells = locked.materials();
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        const Frame& frame = frames[std::size_t(k)];
        readKept(frame.bytes, frame.first, frame.end,
                 [&](CellIndex i, const std::uint32_t* materials, CellIndex n) {
                     for (CellIndex j = 0; j < n; ++j) {
                         cells.set(std::ptrdiff_t(i + j), MaterialId(materials[j]));
                     }
                 });
    });
    return true;
}

std::pair<MaterialChanges, MaterialChanges> KeptMaterials::changesTo(TotalVolume& volume) const {
    std::pair<MaterialChanges, MaterialChanges> changes;
    changes.first.cellCount = changes.second.cellCount = cellCount;
    changes.first.frames.resize(frames.size());
    changes.second.frames.resize(frames.size());
    const CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
    const MaterialCells cells = locked.materials();
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        const Frame& frame = frames[std::size_t(k)];
        RunWriter runs;
        readKept(frame.bytes, frame.first, frame.end,
                 [&](CellIndex i, const std::uint32_t* kept, CellIndex n) {
                     for (CellIndex j = 0; j < n; ++j) {
                         const std::uint32_t now = cells[std::ptrdiff_t(i + j)];
                         if (now != kept[j])
                             runs.changed(i + j, kept[j], now);
                     }
                 });
        auto [before, after] = runs.finish();
        changes.first.frames[std::size_t(k)] = std::move(before);
        changes.second.frames[std::size_t(k)] = std::move(after);
    });
    return changes;
}

void KeptMaterials::clear() {
    std::vector<Frame>().swap(frames);
    cellCount = 0;
}

} // namespace Model::Automaton
