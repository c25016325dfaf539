#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Planarization/planarizationoperation.h"
#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "Core/Operations/SiEtching/atomisticsiwetetchingoperation.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/snapshotprocessoperation.h"
#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/strips.h"
#include "Model/Automaton/volumebudget.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>

namespace CELLVANE_TEST_FILE {

using namespace Core::Operations;
using namespace testing_support;
using Model::Automaton::TotalVolume;

namespace {

constexpr int Silicon = 1, Film = 7;
constexpr std::uint64_t never = std::numeric_limits<std::uint64_t>::max();

// Cancels once one stage of a run (the engine's steps by default) has done `cancelAt` steps,
// and remembers how many steps that stage reported.
class CancelAt : public Util::ProgressReporter {
public:
    explicit CancelAt(std::uint64_t cancelAt, QString stage = QString())
        : cancelAt(cancelAt), stage(std::move(stage)) {}

    void start(std::uint64_t, const QString& name) override {
        watching = name == stage;
        if (watching)
            done = 0;
    }
    void advance(std::uint64_t steps) override {
        if (watching)
            stepsSeen = done += steps;
    }
    bool wasCancelled() const override { return watching && done >= cancelAt; }

    std::uint64_t stepsSeen = 0;

private:
    std::uint64_t cancelAt;
    QString stage;
    bool watching = false;
    std::uint64_t done = 0;
};

// The materials of both cell arrays: a restored volume must match in each.
using Cells = std::vector<int>;

Cells cellsOf(TotalVolume& volume) {
    return materialsOf(volume);
}

using MakeOperation = std::function<std::shared_ptr<ObjectOperation>(OperationContext&,
                                                                     std::shared_ptr<TotalVolume>)>;

// One kind of engine, driven through its operation as the window drives it.
struct EngineKind {
    const char* name;
    std::function<std::shared_ptr<TotalVolume>()> scene;
    MakeOperation make;
    const char* cancelText = ": Operation canceled.";
};

const std::vector<EngineKind>& engineKinds() {
    static const std::vector<EngineKind> kinds = {
        {"front kernel (CVD)",
         [] {
             return makeVolume(16, 6, 12, [](int x, int, int z) {
                 return z < 4 || (x < 5 && z < 7) ? Silicon : 0;
             });
         },
         [](OperationContext& context, std::shared_ptr<TotalVolume> volume) {
             auto op = std::make_shared<IsotropicFilmDepositionOperation>(context);
             op->setTarget(volume);
             op->setDistance(3.f);
             op->setMaterialId(Film);
             return op;
         }},
        {"column front (reactive-ion etch)",
         [] {
             return makeVolume(12, 5, 12, [](int x, int, int z) {
                 return z < (x % 3 == 0 ? 10 : 8) ? Silicon : 0;
             });
         },
         [](OperationContext& context, std::shared_ptr<TotalVolume> volume) {
             auto op = std::make_shared<SimpleReactiveIonEtchingOperation>(context);
             op->setTarget(volume);
             op->setDepth(5);
             op->setMaterial(Silicon);
             return op;
         }},
        {"single column pass (planarization)",
         [] { return makeVolume(12, 4, 10, [](int x, int, int z) { return z < 3 + x % 5; }); },
         [](OperationContext& context, std::shared_ptr<TotalVolume> volume) {
             auto op = std::make_shared<PlanarizationOperation>(context);
             op->setTarget(volume);
             op->setMaximumHeight(5);
             op->setMinimumHeight(0);
             return op;
         },
         ": Operation canceled!"},
        {"wet-etch kernel (atomistic etch)", [] { return maskedSilicon(8, 8, 8, 5, 2, 6); },
         [](OperationContext& context, std::shared_ptr<TotalVolume> volume) {
             auto op = std::make_shared<AtomisticSiWetEtchingOperation>(context);
             op->setTarget(volume);
             op->setDepth(1.5);
             return op;
         }},
    };
    return kinds;
}

// An operation context of its own around one volume, as one window's document.
struct Session {
    CountingHost host;
    ScriptedPrompts prompts;
    OperationContext context{host, prompts};
    std::shared_ptr<MessageLog> log = std::make_shared<MessageLog>(context.consoleInput);
    std::shared_ptr<TotalVolume> volume;

    explicit Session(std::shared_ptr<TotalVolume> target) : volume(std::move(target)) {
        context.consoleInput.getMessageObservers().push_back(log);
        context.document->addObject(volume);
    }

    std::shared_ptr<ObjectOperation> run(const MakeOperation& make,
                                         Util::ProgressReporter* progress) {
        host.progress = progress;
        auto op = make(context, volume);
        context.currentOperation = op;
        op->end();
        host.progress = nullptr;
        return op;
    }
};

Cells finishedRun(const EngineKind& kind, Util::ProgressReporter* progress) {
    Session session(kind.scene());
    session.run(kind.make, progress);
    EXPECT_EQ(session.host.finished, 1) << kind.name;
    EXPECT_GE(session.host.monitored, 1) << kind.name;
    return cellsOf(*session.volume);
}

} // namespace

// Watching a run changes nothing it computes, on any thread count.
TEST(LongSteps, ResultsAreTheSameWithAndWithoutAReporter) {
    for (const EngineKind& kind : engineKinds()) {
        const Cells unwatched = finishedRun(kind, nullptr);
        for (const int threads : {1, 2, 8}) {
            const PoolThreads pool(threads);
            CancelAt watcher(never);
            EXPECT_TRUE(finishedRun(kind, &watcher) == unwatched)
                << kind.name << " with " << threads << " threads";
            EXPECT_GE(watcher.stepsSeen, 1u) << kind.name;
        }
    }
}

// A cancel at the first, a middle and the last step puts every cell back, reports the
// operation's cancel text, pushes nothing, and leaves the volume free for the next run.
TEST(LongSteps, CancelAtAnyStepLeavesTheVolumeAsItWas) {
    const PoolThreads pool(2);
    for (const EngineKind& kind : engineKinds()) {
        CancelAt counter(never);
        const Cells finished = finishedRun(kind, &counter);
        const std::uint64_t steps = counter.stepsSeen;
        ASSERT_GE(steps, 1u) << kind.name;
        for (const std::uint64_t at : {std::uint64_t(0), steps / 2, steps - 1}) {
            Session session(kind.scene());
            const Cells before = cellsOf(*session.volume);
            session.context.processHistory.setLatticeRebuildNeeded(session.volume->getId(), false);
            CancelAt cancel(at);
            const auto op = session.run(kind.make, &cancel);
            EXPECT_TRUE(cellsOf(*session.volume) == before) << kind.name << " cancelled at " << at;
            EXPECT_EQ(session.log->lines.last(), op->getName() + kind.cancelText) << kind.name;
            EXPECT_EQ(session.host.cancelled, 1) << kind.name;
            EXPECT_EQ(session.host.finished, 0) << kind.name;
            EXPECT_TRUE(
                session.context.processHistory.isLatticeRebuildNeeded(session.volume->getId()))
                << kind.name;

            session.run(kind.make, nullptr);
            EXPECT_EQ(session.host.finished, 1) << kind.name;
            EXPECT_TRUE(cellsOf(*session.volume) == finished) << kind.name << " after cancel";
        }
    }
}

// The surface is built inside the step too; cancelling it takes the step back as well.
TEST(LongSteps, CancelWhileTheSurfaceIsBuiltLeavesTheVolumeAsItWas) {
    const EngineKind& deposition = engineKinds().front();
    Session session(deposition.scene());
    const Cells before = cellsOf(*session.volume);
    CancelAt cancel(0, QStringLiteral("Building the surface"));
    session.run(deposition.make, &cancel);
    EXPECT_TRUE(cellsOf(*session.volume) == before);
    EXPECT_EQ(session.host.cancelled, 1);
    EXPECT_EQ(session.log->lines.last(),
              QStringLiteral("Isotropic Deposition: Operation canceled."));
    // The surface shown is that of the restored cells.
    EXPECT_FALSE(session.volume->getPainter().getOpaqueFaces().empty());
}

// Without writable snapshot files the cells before the run are kept in memory for a cancel.
TEST(LongSteps, CancelWithoutSnapshotFilesRestoresFromMemory) {
    const EngineKind& deposition = engineKinds().front();
    Session session(deposition.scene());
    QFile::remove(session.context.snapshotFiles.getUndoFile());
    QDir().mkdir(session.context.snapshotFiles.getUndoFile()); // no file can be opened there
    const Cells before = cellsOf(*session.volume);
    CancelAt cancel(2);
    session.run(deposition.make, &cancel);
    EXPECT_TRUE(cellsOf(*session.volume) == before);
    EXPECT_EQ(session.host.cancelled, 1);
    QDir().rmdir(session.context.snapshotFiles.getUndoFile());
}

namespace {

// Changes every cell, then runs out of memory in the pool task of the last strip, as an engine
// would that allocates per strip.
class StarvedProcess : public SnapshotProcessOperation {
public:
    explicit StarvedProcess(OperationContext& context)
        : SnapshotProcessOperation(context, QStringLiteral("Starved"), 99,
                                   QStringLiteral("Starved")) {}

protected:
    bool isReady() const override { return true; }
    bool changesSilicon() const override { return true; }
    void runEngine(TotalVolume& volume, Util::ProgressReporter& progress) override {
        const Model::Automaton::CellArraysLock locked(volume);
        Model::Automaton::StripPartition partition(volume.getSizeX());
        partition.watch(progress);
        const std::size_t layer = std::size_t(volume.getSizeY()) * volume.getSizeZ();
        partition.runPass([&](const Model::Automaton::Strip& strip) {
            for (std::size_t i = strip.begin * layer; i < strip.end * layer; ++i)
                locked.materials().set(std::ptrdiff_t(i), Film);
        });
        // The last strip's task is the last one waited for, so every other task is over by then.
        const int last = partition.count() - 1;
        partition.runPass([last](const Model::Automaton::Strip& strip) {
            if (strip.index == last)
                throw std::bad_alloc();
        });
    }
};

} // namespace

// Memory that runs out in a pool task, or a per-run array that would not fit, ends the step
// with a message and the cells as they were, and holds no lock: the next step runs normally.
TEST(LongSteps, MemoryExhaustedInARunRestoresAndReleasesTheVolume) {
    const PoolThreads pool(2);
    const EngineKind& deposition = engineKinds().front();
    const Cells finished = finishedRun(deposition, nullptr);
    struct Case {
        const char* name;
        std::function<void(Session&)> fail;
    };
    const std::vector<Case> cases = {
        {"allocation failure in a pool task",
         [](Session& s) {
             auto op = std::make_shared<StarvedProcess>(s.context);
             op->setTarget(s.volume);
             s.context.currentOperation = op;
             op->end();
         }},
        {"front arrays beyond the memory budget",
         [&](Session& s) {
             // A front keeps a page table and its start bits, well under a byte a cell.
             Model::Automaton::VolumeBudget::setAvailableBytesForTesting(s.volume->getCellCount() /
                                                                         4);
             s.run(deposition.make, nullptr);
             Model::Automaton::VolumeBudget::setAvailableBytesForTesting(0);
         }},
    };
    for (const Case& c : cases) {
        Session session(deposition.scene());
        const Cells before = cellsOf(*session.volume);
        c.fail(session);
        EXPECT_TRUE(cellsOf(*session.volume) == before) << c.name;
        EXPECT_TRUE(session.log->lines.join('\n').contains(
            QStringLiteral("; the cell volume is as it was.")))
            << c.name << ": " << session.log->lines.join('\n').toStdString();
        EXPECT_EQ(session.host.finished, 0) << c.name;

        session.run(deposition.make, nullptr);
        EXPECT_EQ(session.host.finished, 1) << c.name;
        EXPECT_TRUE(cellsOf(*session.volume) == finished) << c.name;
    }
}

} // namespace CELLVANE_TEST_FILE
