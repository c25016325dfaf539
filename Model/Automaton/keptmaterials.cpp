#include "Model/Automaton/keptmaterials.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/volumebudget.h"

#include <new>

namespace Model::Automaton {

bool KeptMaterials::keep(TotalVolume& volume) {
    const CellIndex count = volume.getCellCount();
    try {
        VolumeBudget::reserveForRun(count * sizeof(std::uint32_t));
        materials.resize(count);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    const CellArraysLock locked(volume, CellArraysLock::Arrays::Current);
    for (CellIndex i = 0; i < count; ++i)
        materials[i] = locked.current()[i].material;
    return true;
}

bool KeptMaterials::putBack(TotalVolume& volume) const {
    const CellIndex count = volume.getCellCount();
    if (materials.size() != count)
        return false;
    const CellArraysLock locked(volume);
    for (CellIndex i = 0; i < count; ++i) {
        locked.current()[i].material = materials[i];
        locked.next()[i].material = materials[i];
    }
    return true;
}

void KeptMaterials::clear() {
    std::vector<std::uint32_t>().swap(materials);
}

} // namespace Model::Automaton
