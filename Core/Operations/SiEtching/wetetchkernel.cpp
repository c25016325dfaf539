#include "Core/Operations/SiEtching/wetetchkernel.h"

#include <cmath>
#include <tuple>

namespace Core::Operations {

using Model::Automaton::noAtom;
using Model::Automaton::SiAtom;
using Model::Automaton::SiCell;
using Model::Automaton::SiLattice;

QString etchSideName(EtchSide side) {
    switch (side) {
    case EtchSide::Bottom:
        return QStringLiteral("bottom");
    case EtchSide::Both:
        return QStringLiteral("both");
    case EtchSide::Top:
        break;
    }
    return QStringLiteral("top");
}

bool etchSideFromName(const QString& name, EtchSide& side) {
    for (const EtchSide candidate : {EtchSide::Top, EtchSide::Bottom, EtchSide::Both}) {
        if (name.trimmed().compare(etchSideName(candidate), Qt::CaseInsensitive) == 0) {
            side = candidate;
            return true;
        }
    }
    return false;
}

WetEtchKernel::WetEtchKernel(Model::Automaton::TotalVolume& volume, double depth,
                             const QLoggingCategory& category, WetEtchSides sides)
    : volume(volume), depth(depth), category(category), sides(sides) {}

WetEtchKernel::~WetEtchKernel() {
    // A cancelled run leaves here without finish(): its side bonds and wetted atoms below the
    // volume must not outlive it.
    unlinkSides();
    if (lattice)
        for (const AtomId id : wetBelowAtoms)
            lattice->setState(id, SiAtom::Fixed);
}

std::uint64_t WetEtchKernel::stepCount(double depth) {
    // NaN and negative depths fail this test as well.
    if (!(depth >= 0.0))
        return 0;
    const double steps = std::floor(4.0 * depth + 0.5);
    if (steps >= 1.8e19)
        return UINT64_MAX;
    return std::uint64_t(steps);
}

bool WetEtchKernel::begin() {
    lattice = volume.getSiLattice();
    if (!lattice) {
        // Callers normally build it first; without one there is nothing to etch on.
        QString reason;
        if (!volume.rebuildSiLattice(&reason)) {
            qCWarning(category).noquote() << reason;
            return false;
        }
        lattice = volume.getSiLattice();
    }
    locked.emplace(volume);
    materials = locked->materials();
    atomCounts = lattice->getAtomCounts();

    // The boundary atoms of the previous run go; this run makes its own.
    lattice->clearExtraAtoms();
    dry.clear();
    if (etchSide == EtchSide::Bottom)
        findDryCells();

    const unsigned sizeX = volume.getSizeX();
    partition = std::make_unique<StripPartition>(sizeX);
    strips.assign(std::size_t(partition->count()), StripWork());
    stripOfColumn.assign(sizeX, 0);
    for (const Strip& strip : partition->getStrips()) {
        StripWork& work = strips[std::size_t(strip.index)];
        work.firstColumn = strip.begin;
        work.endColumn = strip.end;
        work.handOver.resize(strips.size());
        for (unsigned x = strip.begin; x < strip.end; ++x)
            stripOfColumn[x] = strip.index;
    }
    return true;
}

void WetEtchKernel::finish() {
    unlinkSides();
    for (const AtomId id : wetBelowAtoms)
        lattice->setState(id, SiAtom::Fixed);
    wetBelowAtoms.clear();
    dry.clear();
    strips.clear();
    locked.reset();
    materials = Model::Automaton::MaterialCells();
    atomCounts = nullptr;
}

bool WetEtchKernel::belowVolume(const Util::Vector3D& p) const {
    // Atoms sit a quarter of a lattice constant apart in z at the least: half of that tells a
    // layer below the volume's bottom face from the bottom layer itself.
    return p.z < lattice->getBuiltAt().z - 0.125 * lattice->getLatticeConstant();
}

void WetEtchKernel::findDryCells() {
    // The etchant rises from the bottom face through the empty cells joined to it face to
    // face; the rest of the volume's empty space stays dry behind the wafer holder.
    const unsigned sizeX = volume.getSizeX();
    const unsigned sizeY = volume.getSizeY();
    const unsigned sizeZ = volume.getSizeZ();
    const std::size_t total = std::size_t(sizeX) * sizeY * sizeZ;
    dry.assign(total, 1);
    std::vector<CellIndex> queue;
    const auto reach = [&](CellIndex c) {
        if (dry[c] && materials[std::ptrdiff_t(c)] == 0) {
            dry[c] = 0;
            queue.push_back(c);
        }
    };
    for (unsigned x = 0; x < sizeX; ++x)
        for (unsigned y = 0; y < sizeY; ++y)
            reach(volume.index(x, y, 0));
    const CellIndex strideX = CellIndex(sizeY) * sizeZ;
    while (!queue.empty()) {
        const CellIndex c = queue.back();
        queue.pop_back();
        const CellIndex z = c % sizeZ;
        const CellIndex y = (c / sizeZ) % sizeY;
        const CellIndex x = c / strideX;
        if (z > 0)
            reach(c - 1);
        if (z + 1 < sizeZ)
            reach(c + 1);
        if (y > 0)
            reach(c - sizeZ);
        if (y + 1 < sizeY)
            reach(c + sizeZ);
        if (x > 0)
            reach(c - strideX);
        if (x + 1 < sizeX)
            reach(c + strideX);
    }
}

void WetEtchKernel::wetBelow() {
    // On the calling thread: an atom below the volume is the partner of atoms of several
    // strips. Only the bottom layer of cells has partners there.
    SiLattice& l = *lattice;
    const unsigned sizeZ = volume.getSizeZ();
    wetBelowAtoms.clear();
    l.forEachCrystalAtom(0, volume.getSizeX(), [&](AtomId id, CellIndex c) {
        if (c % sizeZ != 0)
            return;
        for (unsigned s = 0; s < 4; ++s) {
            const AtomId n = l.neighbor(id, s);
            if (n == noAtom || l.cellIndexOf(n) >= 0 || l.state(n) != SiAtom::Fixed)
                continue;
            if (belowVolume(l.atomPosition(n))) {
                l.setState(n, SiAtom::Empty);
                wetBelowAtoms.push_back(n);
            }
        }
    });
}

void WetEtchKernel::findSurface(StripWork& work) {
    const SiLattice& l = *lattice;
    l.forEachCrystalAtom(work.firstColumn, work.endColumn, [&](AtomId id, CellIndex) {
        if (l.state(id) == SiAtom::Silicon && l.countBondedNeighbors(id) < 4)
            treatMissingNeighbors(id, work);
    });
    std::sort(work.surface.begin(), work.surface.end());
    work.surface.erase(std::unique(work.surface.begin(), work.surface.end()), work.surface.end());
}

void WetEtchKernel::treatMissingNeighbors(AtomId id, StripWork& work) {
    const SiLattice& l = *lattice;
    bool exposed = false;
    bool havePosition = false;
    Util::Vector3D position;
    for (unsigned s = 0; s < 4; ++s) {
        const AtomId n = l.neighbor(id, s);
        if (n != noAtom) {
            // Linked neighbours already carry the state of their cell (takeAtoms).
            const std::int32_t cell = l.cellIndexOf(n);
            if (cell < 0) {
                // Outside the volume: Fixed by construction, etchant only below the volume
                // when the bottom is etched (wetBelow).
                if (l.state(n) == SiAtom::Empty)
                    exposed = true;
                else if (l.state(n) != SiAtom::Fixed)
                    qCDebug(category) << "This wasn't suppose to happen.";
                continue;
            }
            if (materials[cell] == 0 && wets(CellIndex(cell)))
                exposed = true;
            continue;
        }
        if (!havePosition) {
            position = l.atomPosition(id);
            havePosition = true;
        }
        const Util::Vector3D bond = l.bondVector(l.sublatticeOf(id), s);
        const Util::Vector3D partner(position.x + bond.x, position.y + bond.y, position.z + bond.z);
        CellIndex c = 0;
        if (l.locate(partner, c)) {
            const std::uint32_t material = materials[std::ptrdiff_t(c)];
            if (material == 0) {
                // A dry cell holds no atom either: an etch that reaches it from the wet side
                // goes on into it.
                exposed = exposed || wets(c);
                continue;
            }
            if (material == 1)
                continue;
        } else if (etchSide != EtchSide::Top && belowVolume(partner)) {
            // The etchant below the volume: the bond stays open.
            exposed = true;
            continue;
        }
        // Outside the volume or inside a mask: a Fixed atom holds the bond.
        work.boundaryRequests.push_back({id, s, partner});
    }
    if (exposed)
        work.surface.push_back(id);
}

void WetEtchKernel::createBoundaryAtoms() {
    // In atom order, so that the extra atoms do not depend on how x was cut into strips.
    std::vector<BoundaryRequest> requests;
    for (StripWork& work : strips) {
        requests.insert(requests.end(), work.boundaryRequests.begin(), work.boundaryRequests.end());
        work.boundaryRequests.clear();
        work.boundaryRequests.shrink_to_fit();
    }
    std::sort(requests.begin(), requests.end(),
              [](const BoundaryRequest& a, const BoundaryRequest& b) {
                  return std::tie(a.atom, a.slot) < std::tie(b.atom, b.slot);
              });
    for (const BoundaryRequest& request : requests)
        lattice->addBoundaryAtom(request.atom, request.slot, request.position);
}

void WetEtchKernel::findSideLinks(StripWork& work) {
    const SiLattice& l = *lattice;
    const unsigned size[3] = {volume.getSizeX(), volume.getSizeY(), volume.getSizeZ()};
    const double edge[3] = {volume.getCellSizeX(), volume.getCellSizeY(), volume.getCellSizeZ()};
    const Util::Vector3D corner = volume.getPosition();
    const double low[3] = {corner.x, corner.y, corner.z};
    // The crystal repeats every row along x and y (half a face diagonal on a (100) wafer):
    // the shift through a side is the most of those that fits.
    const double latticeConstant = l.getLatticeConstant();
    double shift[2];
    unsigned margin[2];
    for (int a = 0; a < 2; ++a) {
        const double row = l.sideRepeat(a);
        // The division is exact for a whole number of rows; the tolerance keeps it whole.
        shift[a] = std::floor(size[a] * edge[a] / row + 1e-9) * row;
        // A bond reaches at most √2/4 of a lattice constant across x or y.
        margin[a] = unsigned(std::ceil(0.36 * latticeConstant / edge[a]));
    }
    if (shift[0] <= 0.0 || shift[1] <= 0.0)
        return;
    const CellIndex slice = CellIndex(size[1]) * size[2];
    l.forEachCrystalAtom(work.firstColumn, work.endColumn, [&](AtomId id, CellIndex c) {
        const unsigned x = unsigned(c / slice);
        const unsigned y = unsigned((c / size[2]) % size[1]);
        if (x >= margin[0] && x + margin[0] < size[0] && y >= margin[1] && y + margin[1] < size[1])
            return;
        const Util::Vector3D position = l.atomPosition(id);
        for (unsigned s = 0; s < 4; ++s) {
            const Util::Vector3D bond = l.bondVector(l.sublatticeOf(id), s);
            double p[3] = {position.x + bond.x, position.y + bond.y, position.z + bond.z};
            const double fz = (p[2] - low[2]) / edge[2];
            if (fz < 0.0 || fz >= size[2])
                continue;
            bool through = false;
            for (int a = 0; a < 2; ++a) {
                const double f = (p[a] - low[a]) / edge[a];
                if (f < 0.0) {
                    p[a] += shift[a];
                    through = true;
                } else if (f >= size[a]) {
                    p[a] -= shift[a];
                    through = true;
                }
            }
            if (!through)
                continue;
            const AtomId partner = l.atomAt(Util::Vector3D(p[0], p[1], p[2]));
            if (partner != noAtom && l.cellIndexOf(partner) >= 0)
                work.sideLinks.push_back({id, s, partner});
        }
    });
}

void WetEtchKernel::linkSides() {
    for (StripWork& work : strips) {
        sideLinks.insert(sideLinks.end(), work.sideLinks.begin(), work.sideLinks.end());
        work.sideLinks.clear();
        work.sideLinks.shrink_to_fit();
    }
    std::sort(sideLinks.begin(), sideLinks.end(), [](const SideLink& a, const SideLink& b) {
        return std::tie(a.atom, a.slot) < std::tie(b.atom, b.slot);
    });
    sideWatchers.clear();
    for (const SideLink& link : sideLinks) {
        lattice->linkOneWay(link.atom, link.slot, link.partner);
        sideWatchers.emplace_back(link.partner, link.atom);
    }
    std::sort(sideWatchers.begin(), sideWatchers.end());
    qCDebug(category) << "Bonds through the sides:" << sideLinks.size();
}

void WetEtchKernel::unlinkSides() {
    if (lattice)
        for (const SideLink& link : sideLinks)
            lattice->unlinkOneWay(link.atom, link.slot);
    sideLinks.clear();
    sideWatchers.clear();
}

void WetEtchKernel::removeAtom(int strip, AtomId id) {
    StripWork& work = strips[std::size_t(strip)];
    const SiLattice& l = *lattice;
    work.removed.push_back(id);

    // A silicon atom always lies in a cell of this strip (takeAtoms), so the count it
    // changes is this strip's alone.
    const CellIndex c = CellIndex(l.cellIndexOf(id));
    // The cell's material goes at the end of the step (settle), once nobody reads it.
    const std::int32_t count = atomCounts[c];
    atomCounts[c] = count - 1;
    if (count < 1)
        qCDebug(category).nospace()
            << "Negative atom count reached for index: " << c << " count is: " << count - 1;
    work.touched.push_back(c);

    // Its neighbours now touch the etchant; each goes to the strip that owns its cell, by
    // the same rule that assigned atoms to strips at the start.
    const auto handOver = [&](AtomId n) {
        if (n == noAtom || l.state(n) == SiAtom::Empty)
            return;
        const std::int32_t cell = l.cellIndexOf(n);
        if (cell < 0)
            return;
        const int owner = stripOfColumn[l.columnOf(CellIndex(cell))];
        if (owner == strip)
            work.kept.push_back(n);
        else
            work.handOver[std::size_t(owner)].push_back(n);
    };
    for (unsigned s = 0; s < 4; ++s)
        handOver(l.neighbor(id, s));
    // And so do the atoms whose bonds through a side end on it.
    if (!sideWatchers.empty()) {
        auto watcher = std::lower_bound(sideWatchers.begin(), sideWatchers.end(),
                                        std::make_pair(id, AtomId(0)));
        for (; watcher != sideWatchers.end() && watcher->first == id; ++watcher)
            handOver(watcher->second);
    }
}

void WetEtchKernel::settle(int strip) {
    StripWork& work = strips[std::size_t(strip)];
    SiLattice& l = *lattice;
    for (const AtomId id : work.removed)
        l.setState(id, SiAtom::Empty);

    std::sort(work.touched.begin(), work.touched.end());
    work.touched.erase(std::unique(work.touched.begin(), work.touched.end()), work.touched.end());
    for (const CellIndex c : work.touched) {
        if (atomCounts[c] <= 0)
            materials.set(std::ptrdiff_t(c), 0);
    }

    for (std::size_t other = 0; other < strips.size(); ++other) {
        if (int(other) == strip)
            continue;
        const std::vector<AtomId>& incoming = strips[other].handOver[std::size_t(strip)];
        work.kept.insert(work.kept.end(), incoming.begin(), incoming.end());
    }
    std::sort(work.kept.begin(), work.kept.end());
    work.kept.erase(std::unique(work.kept.begin(), work.kept.end()), work.kept.end());
    work.surface.swap(work.kept);
}

void WetEtchKernel::logSurfaceSizes() const {
    if (!category.isDebugEnabled())
        return;
    for (std::size_t t = 0; t < strips.size(); ++t)
        qCDebug(category).nospace()
            << "Surface list size for thread " << t << ": " << strips[t].surface.size();
}

} // namespace Core::Operations
