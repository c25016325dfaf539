#pragma once

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"

#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

using MaterialAt = std::function<int(int x, int y, int z)>;

inline std::shared_ptr<Model::Automaton::TotalVolume>
makeVolume(int sx, int sy, int sz, const MaterialAt& materialAt, float cx = 1.f, float cy = 1.f,
           float cz = 1.f) {
    std::vector<int> materials(std::size_t(sx) * sy * sz);
    for (int x = 0; x < sx; ++x)
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z)
                materials[std::size_t(x) * sy * sz + std::size_t(y) * sz + z] = materialAt(x, y, z);
    return std::make_shared<Model::Automaton::TotalVolume>(unsigned(sx), unsigned(sy), unsigned(sz),
                                                           cx, cy, cz, Util::Vector3D(), materials);
}

// Current materials in cell order.
inline std::vector<int> materialsOf(Model::Automaton::TotalVolume& volume) {
    std::vector<int> out(volume.getCellCount());
    const Model::Automaton::CellArraysLock locked(volume);
    const Model::Automaton::MaterialCells cells = locked.materials();
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = int(cells[std::ptrdiff_t(i)]);
    return out;
}

inline int materialAt(Model::Automaton::TotalVolume& volume, int x, int y, int z) {
    const Model::Automaton::CellArraysLock locked(volume);
    return int(locked.materials()[std::ptrdiff_t(volume.index(unsigned(x), unsigned(y), unsigned(z)))]);
}

// Writes one cell's material, as a step would.
inline void setMaterial(Model::Automaton::TotalVolume& volume, Model::Automaton::CellIndex i,
                        unsigned material) {
    const Model::Automaton::CellArraysLock locked(volume);
    locked.materials().set(std::ptrdiff_t(i), Model::Automaton::MaterialId(material));
}

// Sets the global pool's thread count for one scope.
class PoolThreads {
public:
    explicit PoolThreads(int threads) : saved(QThreadPool::globalInstance()->maxThreadCount()) {
        QThreadPool::globalInstance()->setMaxThreadCount(threads);
    }
    ~PoolThreads() { QThreadPool::globalInstance()->setMaxThreadCount(saved); }

private:
    int saved;
};

} // namespace testing_support
