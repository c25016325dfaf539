#include "Model/ModelExtraction/cutgriddecomposition.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/volumebudget.h"

#include <QLoggingCategory>

#include <cstdint>
#include <limits>
#include <new>

namespace Model::ModelExtraction {

Q_LOGGING_CATEGORY(lcDecomposition, "Model/ModelExtraction/cutgriddecomposition", QtInfoMsg)

namespace {

std::vector<int> boundariesOf(const std::vector<char>& cut, int size) {
    std::vector<int> out{0};
    for (int i = 1; i < size; ++i)
        if (cut[std::size_t(i)])
            out.push_back(i);
    out.push_back(size);
    return out;
}

// Rough bytes per box: its envelope with its shared control block, the model's pointer to it,
// and the visiting queue and grid slot.
constexpr std::uint64_t bytesPerBox = sizeof(RectangularCuboidEnvelope) + 32 + 16 + 16;

constexpr std::int32_t unvisited = -2;
constexpr std::int32_t emptyBox = -1;

} // namespace

CutGridDecomposition::Boundaries
CutGridDecomposition::findBoundaries(const Automaton::CellGrid& grid) {
    const int sx = grid.sizeX;
    const int sy = grid.sizeY;
    const int sz = grid.sizeZ;
    std::vector<char> cutX(std::size_t(std::max(sx, 1)), 0);
    std::vector<char> cutY(std::size_t(std::max(sy, 1)), 0);
    std::vector<char> cutZ(std::size_t(std::max(sz, 1)), 0);
    const std::size_t strideX = std::size_t(sy) * std::size_t(sz);
    const std::size_t strideY = std::size_t(sz);
    // Every neighbour pair along an axis is compared, including the pairs in the last layer of
    // the other axes: a change seen only there is still a change.
    for (int x = 0; x < sx; ++x) {
        for (int y = 0; y < sy; ++y) {
            const Automaton::MaterialCells column = grid.cells + grid.index(x, y, 0);
            for (int z = 0; z < sz; ++z) {
                const std::uint32_t m = column[z];
                if (z + 1 < sz && m != column[z + 1])
                    cutZ[std::size_t(z) + 1] = 1;
                if (y + 1 < sy && m != column[std::ptrdiff_t(z) + strideY])
                    cutY[std::size_t(y) + 1] = 1;
                if (x + 1 < sx && m != column[std::ptrdiff_t(z) + strideX])
                    cutX[std::size_t(x) + 1] = 1;
            }
        }
    }
    return {boundariesOf(cutX, sx), boundariesOf(cutY, sy), boundariesOf(cutZ, sz)};
}

bool CutGridDecomposition::decompose(const Automaton::CellGrid& grid, std::vector<EnvelopePtr>& out,
                                     QString* reason) {
    out.clear();
    if (grid.sizeX <= 0 || grid.sizeY <= 0 || grid.sizeZ <= 0)
        return true;
    const Boundaries b = findBoundaries(grid);
    const std::size_t nx = b.x.size() - 1;
    const std::size_t ny = b.y.size() - 1;
    const std::size_t nz = b.z.size() - 1;
    const std::uint64_t boxes = std::uint64_t(nx) * ny * nz;
    if (boxes > std::uint64_t(std::numeric_limits<std::int32_t>::max()) ||
        boxes * bytesPerBox > Automaton::VolumeBudget::availableBytes() / 2) {
        if (reason)
            *reason = QStringLiteral("The volume falls apart into %1 boxes of one material; "
                                     "they do not fit in memory.")
                          .arg(boxes);
        return false;
    }

    // Per box of the grid: unvisited, empty, or the number of its envelope.
    std::vector<std::int32_t> slot(std::size_t(boxes), unvisited);
    std::vector<std::size_t> queue;
    queue.reserve(std::size_t(boxes));
    const auto boxIndex = [&](std::size_t i, std::size_t j, std::size_t k) {
        return (i * ny + j) * nz + k;
    };
    queue.push_back(0);
    slot[0] = emptyBox;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const std::size_t box = queue[head];
        const std::size_t k = box % nz;
        const std::size_t j = (box / nz) % ny;
        const std::size_t i = box / (nz * ny);
        const int x0 = b.x[i], y0 = b.y[j], z0 = b.z[k];
        const std::uint32_t material = grid.material(x0, y0, z0);
        if (material != 0) {
            slot[box] = std::int32_t(out.size());
            out.push_back(std::make_shared<RectangularCuboidEnvelope>(
                x0, y0, z0, b.x[i + 1] - x0, b.y[j + 1] - y0, b.z[k + 1] - z0, material));
        }
        const std::size_t next[3] = {i + 1 < nx ? boxIndex(i + 1, j, k) : box,
                                     j + 1 < ny ? boxIndex(i, j + 1, k) : box,
                                     k + 1 < nz ? boxIndex(i, j, k + 1) : box};
        for (std::size_t n : next) {
            if (slot[n] == unvisited) {
                slot[n] = emptyBox;
                queue.push_back(n);
            }
        }
    }

    using Envelope = RectangularCuboidEnvelope;
    for (std::size_t i = 0; i < nx; ++i) {
        for (std::size_t j = 0; j < ny; ++j) {
            for (std::size_t k = 0; k < nz; ++k) {
                const std::int32_t here = slot[boxIndex(i, j, k)];
                if (here < 0)
                    continue;
                Envelope& e = *out[std::size_t(here)];
                const std::int32_t beyond[3] = {i + 1 < nx ? slot[boxIndex(i + 1, j, k)] : emptyBox,
                                                j + 1 < ny ? slot[boxIndex(i, j + 1, k)] : emptyBox,
                                                k + 1 < nz ? slot[boxIndex(i, j, k + 1)]
                                                           : emptyBox};
                const int faces[3] = {Envelope::PlusX, Envelope::PlusY, Envelope::Top};
                for (int axis = 0; axis < 3; ++axis)
                    if (beyond[axis] >= 0)
                        Envelope::link(e, faces[axis], *out[std::size_t(beyond[axis])]);
            }
        }
    }
    return true;
}

std::shared_ptr<ExtractedModel> CutGridDecomposition::preprocess(Automaton::TotalVolume& volume,
                                                                 QString* reason) {
    std::vector<EnvelopePtr> envelopes;
    try {
        const Automaton::CellArraysLock locked(volume, Automaton::CellArraysLock::Arrays::Current);
        if (!decompose(Automaton::CellGrid::of(volume, locked.materials()), envelopes, reason))
            return nullptr;
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = QStringLiteral("The boxes of the volume do not fit in memory.");
        return nullptr;
    }
    qCDebug(lcDecomposition) << "Envelopes:" << envelopes.size();
    auto model = std::make_shared<ExtractedModel>(std::move(envelopes));
    model->setCellEdges(Metrology::CellEdges::of(volume));
    return model;
}

} // namespace Model::ModelExtraction
