#include "Model/Automaton/atomicscene.h"

#include "Model/Automaton/columnranges.h"
#include "Model/Automaton/cutplaneset.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"

#include <algorithm>
#include <exception>

namespace Model::Automaton {

namespace {

// Decides, atom by atom, what one walk over part of the lattice shows.
class Walk {
public:
    using Wanted = AtomicScene::Wanted;

    Walk(const TotalVolume& volume, const SiLattice& lattice, const Wanted& wanted,
         std::vector<CutPlaneSet::Plane> planes)
        : lattice(lattice), wanted(wanted),
          planes(std::move(planes)), cellSize{volume.getCellSizeX(), volume.getCellSizeY(),
                                              volume.getCellSizeZ()} {
        // Atom positions are where the lattice put them for the volume's place at the time it
        // was built.
        builtAt = lattice.getBuiltAt();
    }

    Util::Vector3D local(const Util::Vector3D& position) const {
        return Util::Vector3D(position.x - builtAt.x, position.y - builtAt.y,
                              position.z - builtAt.z);
    }
    // The cut planes count in cells.
    bool visible(const Util::Vector3D& p) const {
        return CutPlaneSet::shows(planes, float(p.x) / cellSize[0], float(p.y) / cellSize[1],
                                  float(p.z) / cellSize[2]);
    }
    bool passes(AtomId id) const {
        return (!wanted.surfaceAtomsOnly || lattice.isSurfaceAtom(id)) &&
               visible(local(lattice.atomPosition(id)));
    }
    bool bondsDrawnFrom(AtomId id) const {
        return lattice.state(id) == SiAtom::Silicon && passes(id);
    }

    void gather(std::size_t firstCell, std::size_t endCell,
                std::vector<AtomicScene::Instance>& atoms, std::vector<float>& links,
                std::vector<AtomicScene::Instance>& cells) const;

private:
    static void push(std::vector<float>& out, const Util::Vector3D& p) {
        out.insert(out.end(), {float(p.x), float(p.y), float(p.z)});
    }
    void addBonds(AtomId id, const Util::Vector3D& from, std::vector<float>& links) const;

    const SiLattice& lattice;
    const Wanted wanted;
    const std::vector<CutPlaneSet::Plane> planes;
    const float cellSize[3];
    Util::Vector3D builtAt;
};

void Walk::addBonds(AtomId id, const Util::Vector3D& from, std::vector<float>& links) const {
    for (unsigned s = 0; s < 4; ++s) {
        const AtomId n = lattice.neighbor(id, s);
        if (n == noAtom)
            continue;
        const Util::Vector3D to = local(lattice.atomPosition(n));
        if (lattice.state(n) != SiAtom::Silicon) {
            // Half a bond: the partner is gone or belongs to something else.
            push(links, from);
            push(links,
                 Util::Vector3D((from.x + to.x) / 2, (from.y + to.y) / 2, (from.z + to.z) / 2));
        } else if (n > id || !bondsDrawnFrom(n)) {
            // A whole bond once, from its lower end when both ends draw their bonds.
            push(links, from);
            push(links, to);
        }
    }
}

void Walk::gather(std::size_t firstCell, std::size_t endCell,
                  std::vector<AtomicScene::Instance>& atoms, std::vector<float>& links,
                  std::vector<AtomicScene::Instance>& cells) const {
    for (std::size_t c = firstCell; c < endCell; ++c) {
        if (!lattice.holdsSilicon(c))
            continue;
        if (wanted.cells) {
            const Util::Vector3D p = local(lattice.cellPosition(c));
            if (visible(p))
                cells.push_back({float(p.x), float(p.y), float(p.z), {0, 0, 0, 0}});
        }
        if (!wanted.atoms && !wanted.links)
            continue;
        for (unsigned i = 0; i < 8; ++i) {
            const AtomId id = lattice.atomOfCell(c, i);
            const SiAtom::AtomState state = lattice.state(id);
            if (state == SiAtom::Empty || !passes(id))
                continue;
            const Util::Vector3D p = local(lattice.atomPosition(id));
            if (wanted.atoms)
                atoms.push_back({float(p.x), float(p.y), float(p.z),
                                 AtomicScene::bondingColor(lattice.countBondedNeighbors(id),
                                                           lattice.countSecondNeighbors(id))});
            if (wanted.links && state == SiAtom::Silicon)
                addBonds(id, p, links);
        }
    }
}

template <class T> void append(std::vector<std::vector<T>>& parts, std::vector<T>& out) {
    std::size_t total = 0;
    for (const auto& part : parts)
        total += part.size();
    out.reserve(total);
    for (auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
        std::vector<T>().swap(part);
    }
}

} // namespace

std::array<std::uint8_t, 4> AtomicScene::bondingColor(int bonded, int secondNeighbours) {
    if (bonded == 3)
        return secondNeighbours >= 9 ? std::array<std::uint8_t, 4>{0, 0, 255, 255}
                                     : std::array<std::uint8_t, 4>{255, 127, 0, 255};
    if (bonded == 2)
        return {127, 255, 127, 255};
    return {255, 255, 0, 255};
}

void AtomicScene::clear() {
    std::vector<Instance>().swap(atoms);
    std::vector<float>().swap(links);
    std::vector<Instance>().swap(unitCells);
}

void AtomicScene::buildUnitCells(const TotalVolume& volume, const SiLattice* lattice,
                                 const CutPlaneSet& planes, int threads) {
    std::vector<Instance>().swap(unitCells);
    if (lattice)
        gather(volume, *lattice, {true, false, false, false}, planes, threads);
}

void AtomicScene::buildAtoms(const TotalVolume& volume, const SiLattice* lattice,
                             const Switches& switches, const CutPlaneSet& planes, int threads) {
    std::vector<Instance>().swap(atoms);
    std::vector<float>().swap(links);
    if (!lattice || !(switches.atoms || switches.links))
        return;
    gather(volume, *lattice, {false, switches.atoms, switches.links, switches.surfaceAtomsOnly},
           planes, threads);
    if (switches.atoms) {
        // The boundary atoms of the last etch, all of them.
        const Walk walk(volume, *lattice, {}, {});
        for (std::size_t e = 0; e < lattice->extraAtomCount(); ++e) {
            const Util::Vector3D p =
                walk.local(lattice->atomPosition(lattice->firstExtraAtom() + AtomId(e)));
            atoms.push_back({float(p.x), float(p.y), float(p.z), boundaryColor});
        }
    }
}

void AtomicScene::gather(const TotalVolume& volume, const SiLattice& lattice, const Wanted& wanted,
                         const CutPlaneSet& planes, int threads) {
    const Walk walk(volume, lattice, wanted, planes.getPlanes());
    const std::size_t cells = lattice.cellCount();
    const std::size_t tasks =
        std::max<std::size_t>(1, std::min<std::size_t>(std::size_t(std::max(threads, 1)), cells));
    std::vector<std::vector<Instance>> atomParts(tasks), cellParts(tasks);
    std::vector<std::vector<float>> linkParts(tasks);
    std::vector<std::exception_ptr> failures(tasks);
    runOnOwnPool(int(tasks), int(tasks), [&](int task) {
        const std::size_t t = std::size_t(task);
        try {
            walk.gather(cells * t / tasks, cells * (t + 1) / tasks, atomParts[t], linkParts[t],
                        cellParts[t]);
        } catch (...) {
            failures[t] = std::current_exception();
        }
    });
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    append(atomParts, atoms);
    append(linkParts, links);
    append(cellParts, unitCells);
}

} // namespace Model::Automaton
