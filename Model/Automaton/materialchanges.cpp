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

// The id a stored material stands for in the registry now.
std::uint32_t translated(std::uint32_t id, const MaterialChanges::IdTranslation* ids) {
    if (!ids)
        return id;
    const auto found = ids->find(id);
    return found == ids->end() ? id : found->second;
}

} // namespace

bool MaterialChanges::isValid(const IdTranslation* ids) const {
    std::vector<Span> spans(frames.size());
    std::vector<char> holdable(frames.size(), 1);
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        char& fits = holdable[std::size_t(k)];
        spans[std::size_t(k)] =
            forEachRun(frames[std::size_t(k)], cellCount,
                       [&](CellIndex, std::uint32_t count, const std::uint32_t* materials) {
                           for (std::uint32_t j = 0; j < count && fits; ++j)
                               fits = translated(materials[j], ids) <= largestMaterialId;
                       });
    });
    if (!std::all_of(spans.begin(), spans.end(), [](const Span& s) { return s.whole; }) ||
        !std::all_of(holdable.begin(), holdable.end(), [](char fits) { return fits != 0; }))
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

void MaterialChanges::applyTo(TotalVolume& volume, const IdTranslation* ids) const {
    // One lookup per id a cell can hold, not one per cell.
    std::vector<MaterialId> table(std::size_t(largestMaterialId) + 1);
    for (std::uint32_t id = 0; id <= largestMaterialId; ++id)
        table[id] = MaterialId(std::min(translated(id, ids), largestMaterialId));
    const CellArraysLock locked(volume);
    const MaterialCells cells = locked.materials();
    Util::runTasksAndWait(Util::workPool(), int(frames.size()), [&](int k) {
        forEachRun(frames[std::size_t(k)], cellCount,
                   [&](CellIndex first, std::uint32_t count, const std::uint32_t* materials) {
                       // isValid() has refused every id beyond the table.
                       for (std::uint32_t j = 0; j < count; ++j)
                           cells.set(std::ptrdiff_t(first + j),
                                     table[std::min(materials[j], largestMaterialId)]);
                   });
    });
}

} // namespace Model::Automaton
