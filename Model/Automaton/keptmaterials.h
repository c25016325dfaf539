#pragma once

#include <cstdint>
#include <vector>

namespace Model::Automaton {

class TotalVolume;

// The material of every cell of a volume, kept in memory so that a run stopped half-way can
// put the cells back as they were.
class KeptMaterials {
public:
    // Copies the materials of the current cells. False, with nothing kept, when the copy would
    // not fit in memory.
    bool keep(TotalVolume& volume);
    // Writes the kept materials into both cell arrays. False, with the cells untouched, when
    // nothing of the volume's size was kept.
    bool putBack(TotalVolume& volume) const;
    // Lets the memory go.
    void clear();

private:
    std::vector<std::uint32_t> materials;
};

} // namespace Model::Automaton
