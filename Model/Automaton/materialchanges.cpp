#include "Model/Automaton/materialchanges.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/compressedframe.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/pooltasks.h"

#include <QThreadPool>

#include <algorithm>
#include <cstring>
#include <memory>

namespace Model::Automaton {

namespace {

struct Span {
    CellIndex low = 0;
    CellIndex high = 0;
    bool whole = false;
};

// Walks the runs of one frame, checking each before `visit(first, count, materials)` sees it;
// the span of cells the runs cover, and whether the frame was whole and sound.
template <class Visit>
Span forEachRun(const std::string& frame, CellIndex cellCount, Visit&& visit) {
    Span span;
    CompressedFrameReader reader(frame);
    const auto materials = std::make_unique<std::uint32_t[]>(MaterialChanges::longestRun);
    CellIndex previousEnd = 0;
    bool any = false;
    while (!reader.atEnd()) {
        unsigned char header[12];
        std::uint64_t first = 0;
        std::uint32_t count = 0;
        if (!reader.read(header, sizeof header))
            return span;
        std::memcpy(&first, header, 8);
        std::memcpy(&count, header + 8, 4);
        if (count == 0 || count > MaterialChanges::longestRun || first < previousEnd ||
            first > cellCount || count > cellCount - first ||
            !reader.read(materials.get(), std::size_t(count) * sizeof(std::uint32_t)))
            return span;
        visit(CellIndex(first), count, materials.get());
        if (!any)
            span.low = CellIndex(first);
        any = true;
        previousEnd = CellIndex(first) + count;
    }
    span.high = any ? previousEnd : span.low;
    span.whole = true;
    return span;
}

} // namespace

bool MaterialChanges::isValid() const {
    std::vector<Span> spans(frames.size());
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        spans[std::size_t(k)] =
            forEachRun(frames[std::size_t(k)], cellCount, [](CellIndex, std::uint32_t, auto) {});
    });
    if (!std::all_of(spans.begin(), spans.end(), [](const Span& s) { return s.whole; }))
        return false;
    // The frames are written side by side, so no two may reach the same cell.
    std::vector<Span> covering;
    std::copy_if(spans.begin(), spans.end(), std::back_inserter(covering),
                 [](const Span& s) { return s.high > s.low; });
    std::sort(covering.begin(), covering.end(),
              [](const Span& a, const Span& b) { return a.low < b.low; });
    for (std::size_t k = 1; k < covering.size(); ++k) {
        if (covering[k].low < covering[k - 1].high)
            return false;
    }
    return true;
}

void MaterialChanges::applyTo(TotalVolume& volume) const {
    const CellArraysLock locked(volume);
    const MaterialCells cells = locked.materials();
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        forEachRun(frames[std::size_t(k)], cellCount,
                   [&](CellIndex first, std::uint32_t count, const std::uint32_t* materials) {
                       for (std::uint32_t j = 0; j < count; ++j)
                           cells.set(std::ptrdiff_t(first + j), MaterialId(materials[j]));
                   });
    });
}

} // namespace Model::Automaton
