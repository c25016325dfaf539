#pragma once

#include <cstddef>

namespace Model::Automaton {

// The one cell-order formula: z fastest, x slowest. 64-bit so that no legal volume overflows.
using CellIndex = std::size_t;

inline CellIndex cellIndex(CellIndex x, CellIndex y, CellIndex z, CellIndex sizeY,
                           CellIndex sizeZ) {
    return x * (sizeY * sizeZ) + y * sizeZ + z;
}

} // namespace Model::Automaton
