#pragma once

#include "support/scenes.h"

#include <string>
#include <vector>

namespace testing_support {

// Scenes for the vertical processes, written one column per string from z = 0 upwards:
// '.' empty, 'S' silicon (1), 'O' oxide (2), 'R' positive resist (5), 'F' a film (7),
// 'N' negative resist (12).
inline int materialOfSymbol(char c) {
    switch (c) {
    case 'S':
        return 1;
    case 'O':
        return 2;
    case 'R':
        return 5;
    case 'F':
        return 7;
    case 'N':
        return 12;
    default:
        return 0;
    }
}

// Column x of the volume is columns[x % columns.size()], the same for every y.
inline std::shared_ptr<Model::Automaton::TotalVolume>
columnScene(const std::vector<std::string>& columns, int sizeX, int sizeY) {
    return makeVolume(sizeX, sizeY, int(columns.front().size()), [&columns](int x, int, int z) {
        return materialOfSymbol(columns[std::size_t(x) % columns.size()][std::size_t(z)]);
    });
}

inline std::string columnAt(Model::Automaton::TotalVolume& volume, int x, int y) {
    std::string out;
    for (int z = 0; z < int(volume.getSizeZ()); ++z) {
        const int m = materialAt(volume, x, y, z);
        char symbol = '?';
        for (const char c : std::string(".SORFN"))
            if (materialOfSymbol(c) == m)
                symbol = c;
        out += symbol;
    }
    return out;
}

} // namespace testing_support
