// Fingerprints of everything the wet etches and the document reader leave behind, for
// comparing two builds of the program: run it on both and diff the output. Any line that
// differs is a result that changed.
//
//     cellvane_digest [--quick]
//
// Wet etches: scenes with masks, thick masks, odd cell sizes, islands and silicon up to the
// volume's faces, each etched with 1, 2, 3 and 8 pool threads. A line holds hashes of the
// cells' materials and atom counts, of every atom of the lattice's silicon cells (state,
// occupancy while silicon, cell, bonded and second-neighbour counts, the four neighbour
// classes the continuous etch reads and the partner in every bond slot) and of the boundary
// atoms. Documents: round trips and State texts with every oddity the format allows. Front
// engines: every field of both cell arrays after each distance-like process on the 200 x 200 x
// 100 trench scene of the benchmarks; surfaces: the painter's faces and triangles of every
// algorithm on the same scene.

#include "../../tests/support/fingerprint.h"
#include "../trenchscene.h"
#include "Core/Operations/Anisotropic/anisotropicfilmdeposition.h"
#include "Core/Operations/Doping/ionimplantation.h"
#include "Core/Operations/Doping/simpledoping.h"
#include "Core/Operations/Isotropic/electrodeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/continuoswetetching.h"
#include "Core/Operations/SiOxidation/simplesioxidation.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "Model/Persistence/documentarchiver.h"
#include "Model/Persistence/totalvolumearchiver.h"
#include "Model/document.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThreadPool>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Model::Automaton::AtomId;
using Model::Automaton::CellIndex;
using Model::Automaton::noAtom;
using Model::Automaton::SiAtom;
using Model::Automaton::SiLattice;
using Model::Automaton::TotalVolume;

constexpr int Oxide = 2;

class Hash {
public:
    template <class T> void add(const T& value) {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes) {
            state ^= b;
            state *= 1099511628211ull;
        }
    }
    unsigned long long value() const { return state; }

private:
    unsigned long long state = 1469598103934665603ull;
};

using MaterialAt = std::function<int(int, int, int)>;

std::shared_ptr<TotalVolume> makeVolume(int sx, int sy, int sz, const MaterialAt& at,
                                        float cx = 1.f, float cy = 1.f, float cz = 1.f,
                                        Util::Vector3D position = Util::Vector3D()) {
    return std::make_shared<TotalVolume>(
        unsigned(sx), unsigned(sy), unsigned(sz), cx, cy, cz, position,
        [&](unsigned x, unsigned y, Model::Automaton::MaterialCells column) {
            for (int z = 0; z < sz; ++z)
                column.set(z, Model::Automaton::MaterialId(at(int(x), int(y), z)));
        });
}

unsigned noise(int x, int y, int z) {
    unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(z) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h ^ (h >> 15);
}

// The classes of the continuous etch: present neighbours that are fully bonded (bulk) or
// not (surface), first through the atom's bonds, then through its partners' other bonds.
void classes(const SiLattice& lattice, const SiAtom& atom, unsigned out[4]) {
    auto classify = [&lattice](AtomId n, unsigned& surface, unsigned& bulk) {
        if (n == noAtom || lattice.atom(n).state == SiAtom::Empty)
            return;
        if (lattice.countBondedNeighbors(n) == 4)
            ++bulk;
        else
            ++surface;
    };
    out[0] = out[1] = out[2] = out[3] = 0;
    for (const AtomId n : atom.neighbors)
        classify(n, out[0], out[1]);
    for (unsigned j = 0; j < 4; ++j) {
        const AtomId r = atom.neighbors[j];
        if (r == noAtom)
            continue;
        const SiAtom& neighbour = lattice.atom(r);
        for (unsigned k = 0; k < 4; ++k) {
            if (k != 3 - j)
                classify(neighbour.neighbors[k], out[2], out[3]);
        }
    }
}

struct Digest {
    unsigned long long materials = 0, counts = 0, atoms = 0, extras = 0;
    std::size_t silicon = 0, extraCount = 0;
};

Digest digestOf(TotalVolume& volume) {
    Digest d;
    Hash materials, counts;
    {
        const auto lattice = volume.getSiLattice();
        const Model::Automaton::CellArraysLock locked(volume);
        const Model::Automaton::MaterialCells cells = locked.materials();
        for (CellIndex c = 0; c < volume.getCellCount(); ++c) {
            materials.add(std::uint32_t(cells[std::ptrdiff_t(c)]));
            counts.add(lattice ? lattice->atomCount(c) : 0);
        }
    }
    d.materials = materials.value();
    d.counts = counts.value();
    const auto lattice = volume.getSiLattice();
    if (!lattice)
        return d;
    const SiLattice& l = *lattice;
    auto partner = [&l](AtomId n, Hash& h) {
        if (n == noAtom) {
            h.add(std::uint32_t(0xFFFFFFFFu));
        } else if (n >= l.firstExtraAtom()) {
            h.add(std::uint32_t(0xFFFFFFFEu));
        } else {
            const std::size_t ordinal = l.cellOf(n);
            h.add(std::uint32_t(l.cell(ordinal).key));
            h.add(std::uint32_t(n - l.atomOfCell(ordinal, 0)));
        }
    };
    Hash atoms;
    for (std::size_t ordinal = 0; ordinal < l.cellCount(); ++ordinal) {
        const auto& cell = l.cell(ordinal);
        if (!cell.holdsSilicon)
            continue;
        atoms.add(std::uint32_t(cell.key));
        for (unsigned s = 0; s < 8; ++s) {
            const AtomId id = l.atomOfCell(ordinal, s);
            const SiAtom& atom = l.atom(id);
            atoms.add(int(atom.state));
            if (atom.state == SiAtom::Silicon) {
                atoms.add(atom.occupancy);
                ++d.silicon;
            }
            atoms.add(atom.cellIndex);
            atoms.add(l.countBondedNeighbors(id));
            atoms.add(l.countSecondNeighbors(id));
            unsigned c[4];
            classes(l, atom, c);
            for (unsigned v : c)
                atoms.add(v);
            for (const AtomId n : atom.neighbors)
                partner(n, atoms);
        }
    }
    d.atoms = atoms.value();
    Hash extras;
    d.extraCount = l.extraAtomCount();
    for (std::size_t e = 0; e < l.extraAtomCount(); ++e) {
        const AtomId id = l.firstExtraAtom() + AtomId(e);
        const Util::Vector3D p = l.atomPosition(id);
        extras.add(p.x);
        extras.add(p.y);
        extras.add(p.z);
        const SiAtom& atom = l.atom(id);
        extras.add(int(atom.state));
        extras.add(atom.cellIndex);
        for (const AtomId n : atom.neighbors)
            partner(n, extras);
    }
    d.extras = extras.value();
    return d;
}

void print(const char* scene, const char* step, int threads, const Digest& d) {
    std::printf("%-10s %-22s t=%d materials=%016llx counts=%016llx atoms=%016llx "
                "extras=%016llx silicon=%zu extraAtoms=%zu\n",
                scene, step, threads, d.materials, d.counts, d.atoms, d.extras, d.silicon,
                d.extraCount);
    std::fflush(stdout);
}

struct Scene {
    const char* name;
    std::function<std::shared_ptr<TotalVolume>()> make;
    double depth;
    bool eightThreads;
};

std::vector<Scene> scenes(bool quick) {
    std::vector<Scene> list = {
        {"masked12",
         [] {
             return makeVolume(12, 12, 12, [](int x, int y, int z) {
                 if (z < 10)
                     return 1;
                 if (z == 10)
                     return x >= 3 && x < 9 && y >= 3 && y < 9 ? 0 : Oxide;
                 return 0;
             });
         },
         8.0, true},
        {"offcentre",
         [] {
             return makeVolume(19, 13, 9, [](int x, int y, int z) {
                 if (z < 7)
                     return 1;
                 if (z == 7)
                     return x >= 2 && x < 13 && y >= 3 && y < 8 ? 0 : Oxide;
                 return 0;
             });
         },
         2.5, true},
        {"thickmask",
         [] {
             return makeVolume(24, 20, 16, [](int x, int y, int z) {
                 if (z < 8)
                     return 1;
                 if (z < 11)
                     return x >= 6 && x < 17 && y >= 5 && y < 13 ? 0 : Oxide;
                 return 0;
             });
         },
         4.0, true},
        {"oddcells",
         [] {
             return makeVolume(
                 15, 11, 9,
                 [](int x, int y, int z) {
                     const unsigned n = noise(x, y, z) % 10;
                     if (z < 5)
                         return n < 8 ? 1 : Oxide;
                     return z == 5 && n < 3 ? 1 : 0;
                 },
                 1.3f, 0.8f, 0.75f, Util::Vector3D(0.37, -1.2, 0.5));
         },
         3.0, true},
        {"islands",
         [] {
             return makeVolume(30, 30, 12, [](int x, int y, int z) {
                 const unsigned n = noise(x, y, z) % 10;
                 return n < 6 ? 1 : (n < 9 ? 0 : 5);
             });
         },
         2.0, true},
        {"toptouch",
         [] {
             return makeVolume(9, 8, 6, [](int x, int y, int z) {
                 return x >= 3 && x < 6 && y >= 2 && y < 5 && z >= 3 ? 0 : 1;
             });
         },
         1.5, true},
        {"wafer100",
         [] {
             return makeVolume(100, 100, 80, [](int x, int y, int z) {
                 const bool open = x >= 30 && x < 70 && y >= 30 && y < 70;
                 if (z < 60)
                     return 1;
                 return z == 60 && !open ? 2 : 0;
             });
         },
         10.0, false},
    };
    if (quick)
        list.pop_back();
    return list;
}

// Etches each scene as a user would: atomistic, again on the same lattice, silicon put back
// in a few cells (as an undo does) and etched again without a rebuild; and, on a fresh copy,
// the continuous etch.
void wetEtches(bool quick) {
    for (const Scene& scene : scenes(quick)) {
        std::vector<int> threadCounts = {1, 2, 3, 8};
        if (!scene.eightThreads)
            threadCounts = {1, 2};
        for (int threads : threadCounts) {
            QThreadPool::globalInstance()->setMaxThreadCount(threads);
            auto volume = scene.make();
            volume->rebuildSiLattice();
            print(scene.name, "built", threads, digestOf(*volume));
            Core::Operations::AtomicStructureSimpleSiWetEtch(*volume, scene.depth).runEtching();
            print(scene.name, "atomistic", threads, digestOf(*volume));
            Core::Operations::AtomicStructureSimpleSiWetEtch(*volume, scene.depth / 2).runEtching();
            print(scene.name, "atomistic again", threads, digestOf(*volume));
            {
                const Model::Automaton::CellArraysLock locked(*volume);
                const Model::Automaton::MaterialCells cells = locked.materials();
                for (CellIndex c = 0; c < volume->getCellCount(); c += 7) {
                    if (cells[std::ptrdiff_t(c)] == 0)
                        cells.set(std::ptrdiff_t(c), 1);
                }
            }
            Core::Operations::AtomicStructureSimpleSiWetEtch(*volume, 0.5).runEtching();
            print(scene.name, "revived", threads, digestOf(*volume));
            Core::Operations::ContinuosWetEtching(*volume, scene.depth / 4).runEtching();
            print(scene.name, "continuous on top", threads, digestOf(*volume));

            auto fresh = scene.make();
            fresh->rebuildSiLattice();
            Core::Operations::ContinuosWetEtching(*fresh, scene.depth / 2).runEtching();
            print(scene.name, "continuous", threads, digestOf(*fresh));
        }
    }
}

// --- documents

void printVolume(const char* name, const std::shared_ptr<Model::Object>& object) {
    const auto volume = std::dynamic_pointer_cast<TotalVolume>(object);
    if (!volume) {
        std::printf("%-24s no volume\n", name);
        return;
    }
    Hash h;
    {
        const auto lattice = volume->getSiLattice();
        const Model::Automaton::CellArraysLock locked(*volume);
        const Model::Automaton::MaterialCells cells = locked.materials();
        for (CellIndex c = 0; c < volume->getCellCount(); ++c) {
            h.add(std::uint32_t(cells[std::ptrdiff_t(c)]));
            h.add(lattice ? lattice->atomCount(c) : 0);
        }
    }
    const Util::Vector3D p = volume->getPosition();
    std::printf("%-24s %ux%ux%u cell %g %g %g at %g %g %g cells=%016llx\n", name,
                volume->getSizeX(), volume->getSizeY(), volume->getSizeZ(),
                double(volume->getCellSizeX()), double(volume->getCellSizeY()),
                double(volume->getCellSizeZ()), p.x, p.y, p.z, h.value());
}

void readStates() {
    const QString sizes = QStringLiteral("size-x=\"3\" size-y=\"2\" size-z=\"2\"");
    const std::vector<std::pair<const char*, QString>> states = {
        {"plain", QStringLiteral("<State>1 2 3 4 5 6 7 8 9 10 11 12 </State>")},
        {"short", QStringLiteral("<State>3 4</State>")},
        {"long", QStringLiteral("<State>1 2 3 4 5 6 7 8 9 10 11 12 13 14 15</State>")},
        {"none", QString()},
        {"empty", QStringLiteral("<State/>")},
        {"spaces", QStringLiteral("<State>   7   x -3 1<!-- c -->2  +5 007 </State>")},
        {"whitespace", QStringLiteral("<State>1\t2 3\n4 \n5\n 6\r\n7 \t8\t </State>")},
        {"entities", QStringLiteral("<State>1&#32;2 &#x33;4 &amp; 5&lt;6 7</State>")},
        {"cdata", QStringLiteral("<State>1 2<![CDATA[3 4 ]]>5 6 7</State>")},
        {"numbers", QStringLiteral("<State>4294967296 4294967295 999999999 1000000000 "
                                   "0000000000001 00 1e3 0x10 12a 4294967295x</State>")},
        {"overlong", QStringLiteral("<State>") + QString(1000, QLatin1Char('9')) +
                         QStringLiteral(" 5 ") + QString(300, QLatin1Char('0')) +
                         QStringLiteral("1 6</State>")},
        {"element", QStringLiteral("<State>1 2 <b/>3 4</State>")},
        {"unicode", QStringLiteral("<State>1 \u0663 2 \u00a03 4</State>")},
        {"renumber", QStringLiteral("<State>20 3 20 21 1 2 20 </State>")},
    };
    for (const auto& [name, state] : states) {
        const QString xml = QStringLiteral("<D><Object object-type=\"1\" %1>%2"
                                           "<Position pos-x=\"1.5\"/></Object></D>")
                                .arg(sizes, state);
        QXmlStreamReader reader(xml);
        reader.readNextStartElement();
        reader.readNextStartElement();
        Model::Persistence::TotalVolumeArchiver archiver;
        Model::Persistence::MaterialIdMap map{{20, 2345}, {3, 3}, {2, 7}};
        archiver.setReader(&reader);
        archiver.setMaterialIdMap(&map);
        const auto object = archiver.load();
        char label[64];
        std::snprintf(label, sizeof label, "state %s%s", name, reader.hasError() ? " (error)" : "");
        printVolume(label, object);
    }
}

void roundTrips(bool quick) {
    Model::Persistence::ArchiverTable archivers{
        {1, std::make_shared<Model::Persistence::TotalVolumeArchiver>()}};
    Model::Document document;
    document.addObject(makeVolume(
        30, 30, 12, [](int x, int y, int z) { return int(noise(x, y, z) % 7); }, 0.5f, 2.f, 0.25f,
        Util::Vector3D(3.0, -2.5, 1e6)));
    document.addObject(makeVolume(1, 1, 1, [](int, int, int) { return 1; }));
    if (!quick) {
        document.addObject(makeVolume(120, 90, 70, [](int x, int y, int z) {
            const unsigned n = noise(x, y, z);
            return n % 5 == 0 ? int(n % 40000) : int(n % 3);
        }));
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Model::Persistence::DocumentArchiver(archivers).write(&buffer, document);
    buffer.close();
    Hash file;
    for (char c : buffer.data())
        file.add(c);
    std::printf("document bytes=%d hash=%016llx\n", int(buffer.data().size()), file.value());
    buffer.open(QIODevice::ReadOnly);
    const auto result = Model::Persistence::DocumentArchiver(archivers).read(&buffer);
    std::printf("document read status=%d objects=%zu warnings=%d\n", int(result.status),
                result.objects.size(), int(result.warnings.size()));
    int index = 0;
    for (const auto& object : result.objects) {
        char label[32];
        std::snprintf(label, sizeof label, "document object %d", index++);
        printVolume(label, object);
    }
}

// Front engines hash their materials and surfaces every field with the tests' fingerprints, so a
// line here can be checked against the fingerprints the tests keep.
void frontEngines(bool quick) {
    using namespace Core::Operations;
    using Run = std::function<void(TotalVolume&)>;
    const std::pair<const char*, Run> runs[] = {
        {"iso", [](TotalVolume& v) { IsotropicFilmDeposition(v, 7, 10.f).runDeposition(); }},
        {"etch", [](TotalVolume& v) { IsotropicFilmEtching(v, bench::Oxide, 10.f).runEtching(); }},
        {"plate",
         [](TotalVolume& v) { Electrodeposition(v, 7, bench::Oxide, 10.f).runDeposition(); }},
        {"moore", [](TotalVolume& v) { MooreNeighborhoodDeposition(v, 7, 10).runDeposition(); }},
        {"dope", [](TotalVolume& v) { SimpleDoping(v, 14, 5.f).runDoping(); }},
        {"implant", [](TotalVolume& v) { IonImplantation(v, 14, 5.f, 3.f).runImplantation(); }},
        {"pvd",
         [](TotalVolume& v) { AnisotropicFilmDeposition(v, 7, 6.f, 0.5f, 3).runDeposition(); }},
        {"ox", [](TotalVolume& v) { SimpleSiOxidation(v, 1.0).oxidateTo(4.0); }},
    };
    for (const auto& [name, run] : runs) {
        for (const int threads : {1, 2, 3, 8}) {
            if (quick && threads > 2)
                continue;
            QThreadPool::globalInstance()->setMaxThreadCount(threads);
            const auto volume = bench::trenchScene();
            run(*volume);
            std::printf("trench %-8s t=%d cells=%016llx\n", name, threads,
                        (unsigned long long)testing_support::materialsFingerprint(*volume));
            std::fflush(stdout);
        }
    }
}

void surfaces(bool quick) {
    const auto volume = bench::trenchScene();
    for (const int algorithm : {0, 1, 2}) {
        for (const int threads : {1, 2, 3, 8}) {
            if (quick && threads > 2)
                continue;
            Model::Automaton::TotalVolumePainter& painter = volume->getPainter();
            painter.setBuildThreads(threads);
            painter.setAlgorithm(algorithm);
            painter.rebuild();
            testing_support::Fingerprint f;
            f.addFaces(painter, painter.getOpaqueFaces(), false);
            f.addTriangles(painter.getMarchingCubes().getTriangles());
            f.addFaces(painter.getOctree().getOpaqueFaces(), false);
            std::printf("trench surface%d t=%d lists=%016llx\n", algorithm, threads,
                        (unsigned long long)f.value);
            std::fflush(stdout);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    readStates();
    roundTrips(quick);
    wetEtches(quick);
    frontEngines(quick);
    surfaces(quick);
    return 0;
}
