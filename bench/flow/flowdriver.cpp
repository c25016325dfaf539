// The whole flow of a user's session on one large volume, stage by stage, with the time and
// the memory each stage takes: create the volume, run the cell engines, write and restore
// snapshots, build the three surfaces, build the silicon lattice and wet-etch it, save the
// document, close it and open it again, as the window does (surfaces built) and as the
// programs without one do (cells only).
//
//     cellvane_flow [sizeX sizeY sizeZ [threads]] [--no-lattice]      (default 500 500 400 2)
//
// --no-lattice leaves out the silicon lattice and its wet etch, which a volume of a billion
// cells has no room for.
//
// The scene: silicon below 60 % of the height with a trench along y down to 30 % of it, a
// fifth of the volume wide. Each stage prints one line: its name, its wall time, the peak
// resident memory while it ran, the peak of the whole flow so far and the memory resident
// after it, and the processor time its threads used. Add a stage by writing one function over
// Flow and listing it in `stages`.

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Isotropic/isotropicfilmdeposition.h"
#include "Core/Operations/Isotropic/isotropicfilmetching.h"
#include "Core/Operations/MooreNeighborhood/mooreneighborhooddeposition.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/largearray.h"
#include "Model/Automaton/marchingcubesurface.h"
#include "Model/Automaton/silattice.h"
#include "Model/Automaton/surfaceoctree.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Automaton/totalvolumepainter.h"
#include "processusage.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Model::Automaton::TotalVolume;

constexpr int Silicon = 1;

// Answers nothing and shows nothing: the flow runs without a user.
class Unattended : public Core::Operations::IOperationHost, public Core::Operations::IUserPrompts {
public:
    void finishCurrentOperation() override {}
    void cancelCurrentOperation() override {}
    void showMessage(Icon, const QString& title, const QString& text) override {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(title), qPrintable(text));
    }
    bool confirm(const QString&, const QString&) override { return true; }
    SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Discard; }
    QString chooseSaveFile(const QString&, const QString&) override { return QString(); }
    QString chooseOpenFile(const QString&, const QString&) override { return QString(); }
};

struct Flow {
    unsigned sizeX = 500;
    unsigned sizeY = 500;
    unsigned sizeZ = 400;
    int threads = 2;

    Unattended user;
    std::unique_ptr<Core::Operations::OperationContext> context;
    std::unique_ptr<Core::Operations::TotalVolumeUndoRedoHelper> snapshots;
    bool lattice = true;
    std::shared_ptr<TotalVolume> volume;
    std::shared_ptr<TotalVolume> opened;
    QString documentFile;
    QString note; // what a stage wants to say about its result
};

// --- memory, from the kernel's account of this process

std::uint64_t statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts[1].toULongLong() : 0;
        }
    }
    return 0;
}

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double gib(std::uint64_t kib) {
    return double(kib) / (1024.0 * 1024.0);
}

// --- the stages

// Silicon below 60 % of the height, down to 30 % in the trench: written column by column into
// the volume's own cells, with no list of the cells beside them.
TotalVolume::ColumnContents sceneColumns(unsigned sx, unsigned sz) {
    const unsigned top = sz * 6 / 10;
    const unsigned trenchBottom = sz * 3 / 10;
    const unsigned trenchBegin = sx / 2 - sx / 10;
    const unsigned trenchEnd = sx / 2 + sx / 10;
    return [=](unsigned x, unsigned, Model::Automaton::MaterialCells column) {
        const unsigned siliconTop = x >= trenchBegin && x < trenchEnd ? trenchBottom : top;
        column.fill(0, siliconTop, Silicon);
    };
}

// The floor construction is measured against: as many fresh bytes as the cells take, written
// by two threads, a half each, on pages the process has never touched.
void freshMemset(Flow& flow) {
    const std::size_t bytes =
        std::size_t(flow.sizeX) * flow.sizeY * flow.sizeZ * sizeof(Model::Automaton::MaterialId);
    const Model::Automaton::LargeArray<char> fresh =
        Model::Automaton::allocateLargeArray<char>(bytes);
    char* const data = fresh.get();
    std::thread other([data, bytes] { std::memset(data + bytes / 2, 1, bytes - bytes / 2); });
    std::memset(data, 1, bytes / 2);
    other.join();
    flow.note = QStringLiteral("%1 GiB").arg(double(bytes) / double(1u << 30), 0, 'f', 2);
}

void construct(Flow& flow) {
    flow.volume =
        std::make_shared<TotalVolume>(flow.sizeX, flow.sizeY, flow.sizeZ, 1.f, 1.f, 1.f,
                                      Util::Vector3D(), sceneColumns(flow.sizeX, flow.sizeZ));
}

void isotropicDeposition(Flow& flow) {
    Core::Operations::IsotropicFilmDeposition(*flow.volume, Silicon, 10.f).runDeposition();
}

void isotropicEtching(Flow& flow) {
    Core::Operations::IsotropicFilmEtching(*flow.volume, Silicon, 5.f).runEtching();
}

void mooreDeposition(Flow& flow) {
    Core::Operations::MooreNeighborhoodDeposition(*flow.volume, Silicon, 3).runDeposition();
}

void snapshotBefore(Flow& flow) {
    if (!flow.snapshots->recordBefore(*flow.volume))
        flow.note = QStringLiteral("not written");
}

void snapshotAfter(Flow& flow) {
    const bool written = flow.snapshots->recordAfter(*flow.volume);
    flow.snapshots->forgetBefore();
    flow.note = written ? QStringLiteral("undo record %1 KiB")
                              .arg(QFile(flow.context->snapshotFiles.getUndoFile()).size() / 1024)
                        : QStringLiteral("not written");
}

void undo(Flow& flow) {
    if (!flow.snapshots->undo(*flow.volume))
        flow.note = QStringLiteral("failed");
}

void redo(Flow& flow) {
    if (!flow.snapshots->redo(*flow.volume))
        flow.note = QStringLiteral("failed");
}

void cubicSurface(Flow& flow) {
    auto& painter = flow.volume->getPainter();
    painter.setBuildThreads(flow.threads);
    painter.setAlgorithm(Model::Automaton::TotalVolumePainter::DirectCubic);
    painter.rebuild();
    flow.note = QStringLiteral("%1 faces").arg(painter.getOpaqueFaces().size());
}

template <class Build> void withGrid(Flow& flow, Build&& build) {
    const Model::Automaton::CellArraysLock locked(
        *flow.volume, Model::Automaton::CellArraysLock::Arrays::Current);
    Model::Automaton::CellGrid grid;
    grid.cells = locked.materials();
    grid.sizeX = int(flow.sizeX);
    grid.sizeY = int(flow.sizeY);
    grid.sizeZ = int(flow.sizeZ);
    Model::Automaton::CutWindow window;
    window.max = {grid.sizeX, grid.sizeY, grid.sizeZ};
    build(grid, window);
}

void marchingCubes(Flow& flow) {
    withGrid(flow, [&](const auto& grid, const auto& window) {
        Model::Automaton::MarchingCubeSurface surface;
        surface.build(grid, window, flow.threads);
        flow.note = QStringLiteral("%1 triangles").arg(surface.getTriangleCount());
    });
}

void octreeSurface(Flow& flow) {
    withGrid(flow, [&](const auto& grid, const auto& window) {
        Model::Automaton::SurfaceOctree octree;
        octree.build(grid, window, Model::Automaton::MaterialPalette::fromRegistry());
        flow.note = QStringLiteral("%1 nodes").arg(octree.getNodes().size());
    });
}

void rebuildSiLattice(Flow& flow) {
    QString reason;
    if (!flow.volume->rebuildSiLattice(&reason)) {
        flow.note = reason;
        return;
    }
    const auto lattice = flow.volume->getSiLattice();
    flow.note = QStringLiteral("%1 sites, %2 MiB")
                    .arg(lattice->latticeAtomCount())
                    .arg(double(lattice->memoryBytes()) / (1024.0 * 1024.0), 0, 'f', 1);
}

void atomisticWetEtch(Flow& flow) {
    Core::Operations::AtomicStructureSimpleSiWetEtch engine(*flow.volume, 3.0);
    engine.runEtching();
    flow.note = QStringLiteral("%1 atoms removed").arg(engine.getAtomsRemoved());
}

void saveDocument(Flow& flow) {
    flow.context->document->addObject(flow.volume);
    if (!Core::Operations::DocumentFile::write(*flow.context, flow.documentFile))
        flow.note = QStringLiteral("failed");
    else
        flow.note = QStringLiteral("%1 MiB").arg(
            double(QFile(flow.documentFile).size()) / (1024.0 * 1024.0), 0, 'f', 1);
}

// One document open at a time: the user closes the first before opening the saved copy.
void closeDocument(Flow& flow) {
    flow.context->document->clear();
    flow.volume.reset();
}

void openDocument(Flow& flow, Core::Operations::DocumentFile::Surfaces surfaces) {
    const auto contents = Core::Operations::DocumentFile::load(
        flow.documentFile, flow.context->snapshotFiles.getArchivers(), flow.user, surfaces);
    if (!contents || contents->objects.empty()) {
        flow.note = QStringLiteral("failed");
        return;
    }
    flow.opened = std::dynamic_pointer_cast<TotalVolume>(contents->objects.front());
    flow.note = QStringLiteral("%1 faces").arg(flow.opened->getPainter().getOpaqueFaces().size());
}

// The window's open: the cells and the surfaces it shows.
void openInWindow(Flow& flow) {
    openDocument(flow, Core::Operations::DocumentFile::Surfaces::Build);
}

// The open of the runner, studies and Python: the cells only.
void openHeadless(Flow& flow) {
    openDocument(flow, Core::Operations::DocumentFile::Surfaces::Skip);
}

void closeOpened(Flow& flow) {
    flow.opened.reset();
}

struct Stage {
    const char* name;
    std::function<void(Flow&)> run;
    bool needsLattice = false;
};

// The figures a billion-cell volume is held to, printed after the stages: the peak up to and
// including the save, and the time of the first view and of both opens.
struct Goals {
    std::uint64_t peakToSaveKiB = 0;
    double firstView[2] = {-1, -1}; // wall, processor
    double open[2] = {-1, -1};
    double openHeadless[2] = {-1, -1};

    void note(const Stage& stage, std::uint64_t flowPeakKiB, double wall, double processor) {
        const QByteArray name(stage.name);
        double* figures = name == "cubic surface"                ? firstView
                          : name == "open document"              ? open
                          : name == "open document, no surfaces" ? openHeadless
                                                                 : nullptr;
        if (figures) {
            figures[0] = wall;
            figures[1] = processor;
        }
        if (name == "save document")
            peakToSaveKiB = flowPeakKiB;
    }
    void print() const {
        std::printf("\npeak up to and including the save %.2f GiB (goal: at most 3)\n",
                    gib(peakToSaveKiB));
        const auto line = [](const char* what, const double* figures, double goal) {
            std::printf("%-26s %6.2f s wall, %6.2f s processor (goal: at most %.1f s)\n", what,
                        figures[0], figures[1], goal);
        };
        line("first view (cubic faces)", firstView, 1.5);
        line("open", open, 4.0);
        line("open without surfaces", openHeadless, 2.0);
    }
};

// The machine's load average over the last minute: times taken on a busy machine say so.
QByteArray loadAverage() {
    QFile load(QStringLiteral("/proc/loadavg"));
    if (!load.open(QIODevice::ReadOnly))
        return "unknown";
    return load.readAll().split(' ').value(0);
}

const std::vector<Stage> stages = {
    {"memset of fresh bytes, 2 threads", freshMemset},
    {"construct from columns", construct},
    {"isotropic deposition 10", isotropicDeposition},
    {"isotropic etch 5", isotropicEtching},
    // Undo and redo of the Moore deposition, recorded around it as every step is. The window
    // shows the cells after each step, so an undo replaces faces that were built before.
    {"keep cells for undo", snapshotBefore},
    {"Moore deposition 3", mooreDeposition},
    {"record changed cells", snapshotAfter},
    {"cubic surface", cubicSurface},
    {"undo", undo},
    {"redo", redo},
    {"marching cubes surface", marchingCubes},
    {"octree surface", octreeSurface},
    {"rebuildSiLattice", rebuildSiLattice, true},
    {"atomistic wet etch 3", atomisticWetEtch, true},
    {"save document", saveDocument},
    {"close document", closeDocument},
    {"open document", openInWindow},
    {"close opened document", closeOpened},
    {"open document, no surfaces", openHeadless},
};

bool parseArguments(int argc, char** argv, Flow& flow) {
    if (argc > 1 && std::strcmp(argv[argc - 1], "--no-lattice") == 0) {
        flow.lattice = false;
        --argc;
    }
    if (argc != 1 && argc != 4 && argc != 5)
        return false;
    if (argc >= 4) {
        flow.sizeX = unsigned(std::strtoul(argv[1], nullptr, 10));
        flow.sizeY = unsigned(std::strtoul(argv[2], nullptr, 10));
        flow.sizeZ = unsigned(std::strtoul(argv[3], nullptr, 10));
    }
    if (argc == 5)
        flow.threads = int(std::strtol(argv[4], nullptr, 10));
    return flow.sizeX >= 10 && flow.sizeY >= 1 && flow.sizeZ >= 10 && flow.threads >= 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(
        QStringLiteral("*.debug=false\nCore/Operations/Undo/totalvolumeundoredohelper.debug=true"));

    Flow flow;
    if (!parseArguments(argc, argv, flow)) {
        std::fprintf(stderr, "usage: %s [sizeX sizeY sizeZ [threads]] [--no-lattice]\n", argv[0]);
        return 2;
    }
    QThreadPool::globalInstance()->setMaxThreadCount(flow.threads);

    // Snapshot files and the document go to a scratch folder that is removed at the end.
    QTemporaryDir scratch;
    if (!scratch.isValid() || !QDir::setCurrent(scratch.path())) {
        std::fprintf(stderr, "cannot create a scratch folder\n");
        return 2;
    }
    flow.documentFile = scratch.filePath(QStringLiteral("flow.cvx"));
    flow.context = std::make_unique<Core::Operations::OperationContext>(flow.user, flow.user);
    flow.snapshots = std::make_unique<Core::Operations::TotalVolumeUndoRedoHelper>(
        QStringLiteral("flow"), 0, *flow.context);

    std::printf("%u x %u x %u cells (%.1f M), %d threads\n", flow.sizeX, flow.sizeY, flow.sizeZ,
                double(flow.sizeX) * flow.sizeY * flow.sizeZ / 1e6, flow.threads);
    std::printf("%-32s %9s %11s %11s %10s %8s  %s\n", "stage", "time [s]", "peak [GiB]",
                "flow [GiB]", "rss [GiB]", "cpu [s]", "result");
    std::uint64_t flowPeak = statusKiB("VmHWM:");
    Goals goals;
    const QByteArray loadBefore = loadAverage();
    for (const Stage& stage : stages) {
        if (stage.needsLattice && !flow.lattice)
            continue;
        flow.note.clear();
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        const double processorBefore = bench::processCpuSeconds();
        stage.run(flow);
        const double seconds = double(timer.nsecsElapsed()) * 1e-9;
        const double processor = bench::processCpuSeconds() - processorBefore;
        const std::uint64_t peak = statusKiB("VmHWM:");
        flowPeak = std::max(flowPeak, peak);
        goals.note(stage, flowPeak, seconds, processor);
        std::printf("%-32s %9.2f %11.2f %11.2f %10.2f %8.2f  %s\n", stage.name, seconds, gib(peak),
                    gib(flowPeak), gib(statusKiB("VmRSS:")), processor, qPrintable(flow.note));
        std::fflush(stdout);
    }
    goals.print();
    std::printf("load average (1 min) %s before, %s after\n", loadBefore.constData(),
                loadAverage().constData());
    flow.snapshots.reset();
    flow.context.reset();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
