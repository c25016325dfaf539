#pragma once

#include "Model/Automaton/cellindex.h"
#include "Model/Automaton/materialchanges.h"

#include <string>
#include <utility>
#include <vector>

namespace Model::Automaton {

class TotalVolume;

// The material of every cell of a volume, kept compressed in memory (a frame per slab, written
// side by side on the pool) so that a run stopped half-way can put the cells back as they were,
// and so that once it has finished, what it changed can be told from what it left alone.
class KeptMaterials {
public:
    // Copies the materials of the current cells. False, with nothing kept, when the copy would
    // not fit in memory.
    bool keep(TotalVolume& volume);
    // Writes the kept materials into both cell arrays. False, with the cells untouched, when
    // nothing of the volume's size was kept.
    bool putBack(TotalVolume& volume) const;
    // The cells whose materials differ between the kept copy and `volume` now: first with the
    // kept materials (what an undo writes), then with the current ones (what a redo writes).
    // Only for a volume of the kept size. Throws std::bad_alloc when memory runs out.
    std::pair<MaterialChanges, MaterialChanges> changesTo(TotalVolume& volume) const;
    bool isKept() const { return !frames.empty(); }
    // Lets the memory go.
    void clear();

private:
    struct Frame {
        CellIndex first = 0;
        CellIndex end = 0;
        std::string bytes;
    };
    CellIndex cellCount = 0;
    std::vector<Frame> frames;
};

} // namespace Model::Automaton
