#pragma once

#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "support/scenes.h"

#include <QLoggingCategory>

#include <memory>
#include <vector>

namespace testing_support {

constexpr int oxide = 2;

// Silicon below `top`, etchant above.
inline std::shared_ptr<Model::Automaton::TotalVolume> flatSilicon(int sx, int sy, int sz, int top) {
    return makeVolume(sx, sy, sz, [top](int, int, int z) { return z < top ? 1 : 0; });
}

// Silicon below `top` under a one-cell oxide mask with a square opening [open0, open1) in x
// and y.
inline std::shared_ptr<Model::Automaton::TotalVolume> maskedSilicon(int sx, int sy, int sz, int top,
                                                                    int open0, int open1) {
    return makeVolume(sx, sy, sz, [=](int x, int y, int z) {
        if (z < top)
            return 1;
        if (z == top)
            return x >= open0 && x < open1 && y >= open0 && y < open1 ? 0 : oxide;
        return 0;
    });
}

// Everything an etch leaves behind that a user or the next etch can see.
struct EtchResult {
    std::vector<int> materials;
    std::vector<int> atomCounts;
    std::vector<int> atomStates;

    bool operator==(const EtchResult& o) const {
        return materials == o.materials && atomCounts == o.atomCounts && atomStates == o.atomStates;
    }
};

inline EtchResult resultOf(Model::Automaton::TotalVolume& volume) {
    EtchResult result;
    result.materials = materialsOf(volume);
    const auto lattice = volume.getSiLattice();
    for (std::size_t c = 0; c < volume.getCellCount(); ++c)
        result.atomCounts.push_back(lattice ? lattice->atomCount(c) : 0);
    if (lattice) {
        const std::size_t total = lattice->latticeAtomCount() + lattice->extraAtomCount();
        for (Model::Automaton::AtomId id = 0; id < total; ++id)
            result.atomStates.push_back(int(lattice->atom(id).state));
    }
    return result;
}

// Silicon cells that hold a different number of Silicon atoms than their atomCount says.
inline int countMismatches(Model::Automaton::TotalVolume& volume) {
    const auto lattice = volume.getSiLattice();
    std::vector<int> silicon(volume.getCellCount(), 0);
    for (Model::Automaton::AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        const auto& atom = lattice->atom(id);
        if (atom.state == Model::Automaton::SiAtom::Silicon)
            ++silicon[std::size_t(atom.cellIndex)];
    }
    int mismatches = 0;
    const std::vector<int> materials = materialsOf(volume);
    for (std::size_t c = 0; c < volume.getCellCount(); ++c) {
        if (materials[c] == 1 && lattice->atomCount(c) != silicon[c])
            ++mismatches;
        if (materials[c] != 1 && silicon[c] != 0)
            ++mismatches;
    }
    return mismatches;
}

// Builds the volume's lattice and etches it `depth` deep by the calibrated rule of `etchant`;
// each cell's atoms before the etch, so that a test reads how much of a cell is left.
inline std::vector<int> etchedByTable(Model::Automaton::TotalVolume& volume, double depth,
                                      Core::Operations::Etchant etchant) {
    if (!volume.rebuildSiLattice())
        return {};
    const auto lattice = volume.getSiLattice();
    std::vector<int> before(volume.getCellCount());
    for (std::size_t c = 0; c < before.size(); ++c)
        before[c] = lattice->atomCount(c);
    Core::Operations::AtomicStructureSimpleSiWetEtch engine(volume, depth);
    engine.setEtchant(etchant);
    engine.runEtching();
    return before;
}

// Keeps the per-step debug lines of the engines out of the test output.
class QuietEtching {
public:
    QuietEtching() {
        QLoggingCategory::setFilterRules(QStringLiteral("Core/Operations/SiEtching*.debug=false\n"
                                                        "Model/Automaton/*.debug=false"));
    }
    ~QuietEtching() { QLoggingCategory::setFilterRules(QString()); }
};

} // namespace testing_support
