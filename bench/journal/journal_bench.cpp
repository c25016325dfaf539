// What the recovery journal adds to a step: an isotropic deposition on the trench scene run as
// the window runs it (undo and redo records included), without and with the journal. The
// journaled variant waits for the journal's background write, fsyncs included, inside the
// timing, so the figure is an upper bound of what the step costs the user.
#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Undo/recoveryjournal.h"
#include "Core/Operations/operationcontext.h"
#include "trenchscene.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace Core::Operations;

constexpr int Film = 7;

class Host : public IOperationHost {
public:
    void finishCurrentOperation() override {}
    void cancelCurrentOperation() override {}
    void runMonitored(const QString&, const std::function<void(Util::ProgressReporter&)>& work,
                      bool) override {
        work(Util::ProgressReporter::none());
    }
};

class Prompts : public IUserPrompts {
public:
    void showMessage(Icon, const QString&, const QString&) override {}
    bool confirm(const QString&, const QString&) override { return true; }
    SaveChoice askToSave(const QString&, const QString&) override { return SaveChoice::Discard; }
    QString chooseSaveFile(const QString&, const QString&) override { return {}; }
    QString chooseOpenFile(const QString&, const QString&) override { return {}; }
};

enum class Journal { None, UserThread, Written };

void DepositionStep(benchmark::State& state, Journal journaled) {
    bench::setPoolThreads(int(state.range(0)));
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    Host host;
    Prompts prompts;
    OperationContext context(host, prompts);
    RecoveryJournal journal(context);
    static const std::vector<int> materials = bench::trenchMaterials();
    std::shared_ptr<Model::Automaton::TotalVolume> volume = bench::trenchScene();
    context.document->addObject(volume);
    journal.stepFinished(); // the base document, written once when the volume is made
    journal.waitForWrites();
    for (auto _ : state) {
        state.PauseTiming();
        bench::restore(*volume, materials);
        state.ResumeTiming();
        auto op = std::make_shared<IsotropicFilmDepositionOperation>(context);
        op->setTarget(volume);
        op->setDistance(10.f);
        op->setMaterialId(Film);
        op->end();
        if (journaled != Journal::None) {
            journal.stepFinished(op->journalCells(false));
            // UserThread: what the step costs the window; the write goes on behind it.
            if (journaled == Journal::UserThread)
                state.PauseTiming();
            journal.waitForWrites();
            if (journaled == Journal::UserThread)
                state.ResumeTiming();
        }
    }
    if (!journal.takeProblem().isEmpty())
        state.SkipWithError("the journal could not be written");
}

void DepositionStepPlain(benchmark::State& state) {
    DepositionStep(state, Journal::None);
}
void DepositionStepJournaledUserThread(benchmark::State& state) {
    DepositionStep(state, Journal::UserThread);
}
void DepositionStepJournaled(benchmark::State& state) {
    DepositionStep(state, Journal::Written);
}

} // namespace

// Few iterations: every step appends two records of the whole volume to the snapshot files.
BENCHMARK(DepositionStepPlain)
    ->Arg(2)
    ->Iterations(6)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(DepositionStepJournaledUserThread)
    ->Arg(2)
    ->Iterations(6)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(DepositionStepJournaled)
    ->Arg(2)
    ->Iterations(6)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
