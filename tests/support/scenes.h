#pragma once

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/totalvolume.h"

#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

using MaterialAt = std::function<int(int x, int y, int z)>;

// Every cell of a volume `sizeZ` cells high of one material.
inline Model::Automaton::TotalVolume::ColumnContents filledWith(int material, unsigned sizeZ) {
    return [material, sizeZ](unsigned, unsigned, Model::Automaton::MaterialCells column) {
        column.fill(0, std::ptrdiff_t(sizeZ), Model::Automaton::MaterialId(material));
    };
}

// The cells of a volume of sizeY × sizeZ columns in cell order, for the few cells a test writes
// out by hand; cells beyond the list stay empty.
inline Model::Automaton::TotalVolume::ColumnContents listedCells(std::vector<int> ids,
                                                                 unsigned sizeY, unsigned sizeZ) {
    return [ids = std::move(ids), sizeY, sizeZ](unsigned x, unsigned y,
                                                Model::Automaton::MaterialCells column) {
        const std::size_t first = (std::size_t(x) * sizeY + y) * sizeZ;
        for (std::size_t z = 0; z < sizeZ && first + z < ids.size(); ++z)
            column.set(std::ptrdiff_t(z), Model::Automaton::MaterialId(ids[first + z]));
    };
}

// Cells of the given materials, some of which draw random numbers: `materialAt` is called on
// this thread, in cell order, so a scene is the same for every thread count.
inline std::shared_ptr<Model::Automaton::TotalVolume> makeVolume(int sx, int sy, int sz,
                                                                 const MaterialAt& materialAt,
                                                                 float cx = 1.f, float cy = 1.f,
                                                                 float cz = 1.f) {
    std::vector<int> materials(std::size_t(sx) * sy * sz);
    for (int x = 0; x < sx; ++x)
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z)
                materials[(std::size_t(x) * sy + y) * sz + z] = materialAt(x, y, z);
    return std::make_shared<Model::Automaton::TotalVolume>(
        unsigned(sx), unsigned(sy), unsigned(sz), cx, cy, cz, Util::Vector3D(),
        listedCells(std::move(materials), unsigned(sy), unsigned(sz)));
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
    return int(
        locked.materials()[std::ptrdiff_t(volume.index(unsigned(x), unsigned(y), unsigned(z)))]);
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
