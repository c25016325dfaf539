// Kills the window and the runner with SIGKILL at random moments of a scripted session and
// checks what a crash may leave: every saved document is one of the saved states, whole; the
// recovery journal gives back exactly the state of a finished step, at most the running one
// lost; an output of the runner is the previous file or the complete new one.
//
//   cellvane_chaos --runner PROGRAM --list LIST.plst [--program CELLVANE] [--kills N] [--seed S]
//   cellvane_chaos --child FOLDER [STEPS]       (the scripted session the parent kills)
#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Isotropic/isotropicprocessoperations.h"
#include "Core/Operations/Undo/recoveryjournal.h"
#include "Core/Operations/Undo/recoverysession.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Persistence/documentarchiver.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

#include <csignal>
#include <cstdio>
#include <map>
#include <optional>

using namespace Core::Operations;
using testing_support::FakeObjectOperation;
using testing_support::ScriptedPrompts;

namespace {

constexpr int Silicon = 1, Film = 7;
constexpr int scriptSteps = 24;

QByteArray digestOf(const Model::ObjectList& objects, const ProcessHistory* history) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const Model::ObjectPtr& object : objects) {
        auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(object.get());
        if (!volume)
            continue;
        const std::vector<int> cells = testing_support::materialsOf(*volume);
        const int sizes[] = {int(volume->getSizeX()), int(volume->getSizeY()),
                             int(volume->getSizeZ()),
                             history ? int(history->lastOperation(volume->getId())) : 0};
        hash.addData(reinterpret_cast<const char*>(sizes), sizeof sizes);
        hash.addData(reinterpret_cast<const char*>(cells.data()), int(cells.size() * sizeof(int)));
    }
    return hash.result().toHex().left(12);
}

QByteArray digestOf(OperationContext& context, bool withHistory = true) {
    return digestOf(context.document->getObjects(),
                    withHistory ? &context.processHistory : nullptr);
}

// The saved document's cells, or nothing when it cannot be read whole.
std::optional<QByteArray> savedDigest(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const Model::Persistence::ArchiverTable archivers = DocumentFile::archivers();
    Model::Persistence::DocumentArchiver archiver(archivers);
    const auto read = archiver.read(&file);
    if (read.status != Model::Persistence::DocumentArchiver::ReadStatus::Complete)
        return std::nullopt;
    return digestOf(read.objects, nullptr);
}

struct Event {
    enum Kind { Step, Save } kind;
    int index;
    QByteArray digest;
};

// The scripted session: steps of every kind on one window, a save every few steps. `report`
// hears of each step finished and each save done, with the document's digest.
void runScript(Ui::MainWindow& window, const QString& folder,
               const std::function<void(const Event&)>& report, int lastStep = scriptSteps) {
    Ui::MainWindowPresenter& presenter = *window.getPresenter();
    OperationContext& context = presenter.getContext();
    context.document->setFileName(folder + QStringLiteral("/doc.cvx"));
    std::vector<std::shared_ptr<Model::Automaton::TotalVolume>> volumes;
    std::shared_ptr<IsotropicProcessOperation> last;
    const auto add = [&](std::shared_ptr<Model::Automaton::TotalVolume> volume) {
        auto op = std::make_shared<FakeObjectOperation>(context, QStringLiteral("Add"), 1);
        context.currentOperation = op;
        context.document->addObject(volume);
        volumes.push_back(volume);
        op->end();
    };
    for (int step = 1; step <= lastStep; ++step) {
        if (step == 1) {
            add(testing_support::makeVolume(60, 60, 40, [](int x, int y, int z) {
                return z < 10 + (x / 8 + y / 8) % 3 * 4 ? Silicon : 0;
            }));
        } else if (step == 9) {
            add(std::shared_ptr<Model::Automaton::TotalVolume>(
                static_cast<Model::Automaton::TotalVolume*>(volumes[0]->clone())));
        } else if (step % 5 == 0 && last) {
            presenter.undo();
        } else if (step % 5 == 1 && step > 1 && last) {
            presenter.redo();
        } else {
            std::shared_ptr<IsotropicProcessOperation> op;
            if (step % 3 == 2)
                op = std::make_shared<IsotropicFilmEtchingOperation>(context);
            else
                op = std::make_shared<IsotropicFilmDepositionOperation>(context);
            context.currentOperation = op;
            op->setTarget(volumes[std::size_t(step) % volumes.size()]);
            op->setDistance(float(1 + step % 3));
            op->setMaterialId(step % 3 == 2 ? Silicon : Film);
            op->end();
            last = op;
        }
        report({Event::Step, step, digestOf(context)});
        if (step % 4 == 3) {
            presenter.saveDocument();
            report({Event::Save, step, digestOf(context, false)});
        }
    }
}

int child(const QString& folder, int lastStep) {
    auto* window = new Ui::MainWindow(nullptr, std::make_unique<ScriptedPrompts>());
    window->show();
    QCoreApplication::processEvents();
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::printf("ready\n");
    window->getPresenter()->getJournal().setCommittedCallback(
        [](int steps) { std::printf("J %d\n", steps); });
    runScript(
        *window, folder,
        [](const Event& event) {
            std::printf("%c %d\n", event.kind == Event::Step ? 'F' : 'S', event.index);
        },
        lastStep);
    window->getPresenter()->getJournal().waitForWrites();
    std::printf("done\n");
    ::_exit(0); // as the kill would: the session stays for the check
}

struct Counts {
    int kills = 0, recoveries = 0, nothingToRecover = 0, savesChecked = 0, mismatches = 0,
        stepsLostBeyondTheRunning = 0;
};

int fail(Counts& counts, const QString& what) {
    ++counts.mismatches;
    std::fprintf(stderr, "MISMATCH: %s\n", qPrintable(what));
    return 1;
}

// One kill of the window at `delay` ms; checks what it left.
void killWindow(const QString& program, const QString& base, int round, int delay,
                const std::vector<QByteArray>& stepDigests,
                const std::map<int, QByteArray>& saveDigests, Counts& counts) {
    const QString folder = QStringLiteral("%1/window-%2").arg(base).arg(round);
    QDir().mkpath(folder);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), folder + QStringLiteral("/cache"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, {QStringLiteral("--child"), folder});
    process.waitForStarted();
    // The moment is drawn within the session proper, from its window's first showing.
    QByteArray said;
    while (!said.contains("ready\n") && process.waitForReadyRead(30000))
        said += process.readAllStandardOutput();
    // A session that ends before its kill is no kill; it is checked all the same.
    bool killed = false;
    if (!process.waitForFinished(delay)) {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        ++counts.kills;
        killed = true;
    }

    int lastFinished = 0;
    QList<int> saves;
    said += process.readAllStandardOutput();
    for (const QByteArray& line : said.split('\n')) {
        if (line.startsWith("F "))
            lastFinished = line.mid(2).toInt();
        else if (line.startsWith("S "))
            saves << line.mid(2).toInt();
    }
    // The saved document: one of the saved states, whole; the newest or the one before it.
    const QString document = folder + QStringLiteral("/doc.cvx");
    // The step whose save the file holds: the kill may fall after a save and the journal's
    // removal but before the child said "S", so the file itself is the witness.
    int savedStep = -1;
    if (QFile::exists(document)) {
        ++counts.savesChecked;
        const auto digest = savedDigest(document);
        bool known = false;
        for (const auto& [step, saved] : saveDigests)
            if (digest && *digest == saved && step <= lastFinished + 4) {
                known = true;
                savedStep = std::max(savedStep, step);
            }
        if (!known)
            fail(counts, QStringLiteral("round %1: doc.cvx is torn or unknown").arg(round));
    }

    // The journal: exactly the state after a finished step, at most the running one lost.
    qputenv("XDG_CACHE_HOME", (folder + QStringLiteral("/cache")).toUtf8());
    const QStringList stale = RecoverySession::findStale();
    QByteArray recovered;
    bool haveJournal = false;
    for (const QString& path : stale) {
        QString problem;
        if (!RecoveryJournal::readSummary(path, &problem)) {
            if (!problem.isEmpty())
                fail(counts, QStringLiteral("round %1: %2").arg(round).arg(problem));
            continue;
        }
        ScriptedPrompts prompts;
        testing_support::CountingHost host;
        OperationContext context(host, prompts);
        const auto read = RecoveryJournal::load(path, context, &problem);
        if (!read) {
            fail(counts, QStringLiteral("round %1: journal refused: %2").arg(round).arg(problem));
            continue;
        }
        RecoveryJournal::apply(context, *read);
        recovered = digestOf(context);
        haveJournal = true;
    }
    if (haveJournal) {
        ++counts.recoveries;
        int found = -1;
        for (int step = 1; step < int(stepDigests.size()); ++step)
            if (stepDigests[std::size_t(step)] == recovered && step <= lastFinished + 1)
                found = step;
        if (found < 0)
            fail(counts,
                 QStringLiteral("round %1: recovered state is no finished step").arg(round));
        else if (found < lastFinished - 1)
            ++counts.stepsLostBeyondTheRunning;
        std::printf("window %s %2d at %4d ms: step %d finished, recovered step %d\n",
                    killed ? "kill" : "ran out", round, delay, lastFinished, found);
    } else {
        ++counts.nothingToRecover;
        // Nothing to recover is right only before the first step, or when the last step
        // finished was saved (the file holds the work).
        const bool saved =
            (!saves.isEmpty() && saves.last() >= lastFinished - 1) || savedStep >= lastFinished - 1;
        if (lastFinished > 1 && !saved)
            fail(counts,
                 QStringLiteral("round %1: no journal after step %2").arg(round).arg(lastFinished));
        std::printf("window %s %2d at %4d ms: step %d finished, nothing to recover%s\n",
                    killed ? "kill" : "ran out", round, delay, lastFinished,
                    saved ? " (saved)" : "");
    }
}

// A SIGKILL, only to a process still running: the id of one that ended is 0, which would name
// this whole process group.
void killNow(QProcess& process) {
    if (process.state() != QProcess::NotRunning && process.processId() > 0)
        ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished();
}

// The shipped program recovers the journal of a session killed after `fromStep`, and Edit → Undo
// (Ctrl+Z, typed through the X server) takes back its last step; it is killed at `delay` ms, in
// the midst of writing its own journal, copying the undo records or undoing. The work is never
// lost: some journal still loads whole, at the state recovered or one undo before it.
void killProgram(const QString& cellvane, const QString& base, int round, int delay,
                 const std::vector<QByteArray>& stepDigests, Counts& counts) {
    const QString folder = QStringLiteral("%1/program-%2").arg(base).arg(round);
    const QString cache = folder + QStringLiteral("/cache");
    QDir().mkpath(folder + QStringLiteral("/home"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);

    // A session that ends, as a kill would end it, after step 22: its journal holds the records
    // of steps 21 and 22 over the base of step 20.
    QProcess session;
    session.setProcessEnvironment(environment);
    session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session.setStandardOutputFile(QProcess::nullDevice());
    session.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--child"), folder, QStringLiteral("22")});
    session.waitForFinished(120000);
    killNow(session);
    const auto journaled = [&](int* step) {
        qputenv("XDG_CACHE_HOME", cache.toUtf8());
        bool any = false;
        for (const QString& path : RecoverySession::findStale()) {
            QString problem;
            if (!RecoveryJournal::readSummary(path, &problem)) {
                if (!problem.isEmpty())
                    fail(counts, QStringLiteral("program round %1: %2").arg(round).arg(problem));
                continue;
            }
            ScriptedPrompts prompts;
            testing_support::CountingHost host;
            OperationContext context(host, prompts);
            const auto read = RecoveryJournal::load(path, context, &problem);
            if (!read) {
                fail(counts, QStringLiteral("program round %1: journal refused: %2")
                                 .arg(round)
                                 .arg(problem));
                continue;
            }
            RecoveryJournal::apply(context, *read);
            const QByteArray digest = digestOf(context);
            for (int s = 1; s < int(stepDigests.size()); ++s)
                if (stepDigests[std::size_t(s)] == digest) {
                    *step = std::max(*step, s);
                    any = true;
                }
        }
        return any;
    };
    int prepared = -1;
    if (!journaled(&prepared)) {
        fail(counts, QStringLiteral("program round %1: no journal to recover").arg(round));
        return;
    }

    environment.insert(QStringLiteral("HOME"), folder + QStringLiteral("/home"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess program, keys;
    program.setProcessEnvironment(environment);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(cellvane, QStringList());
    program.waitForStarted();
    // Recover (the question's default button), then Edit → Undo in the recovered window.
    keys.start(QStringLiteral("sh"),
               {QStringLiteral("-c"),
                QStringLiteral("xdotool search --sync --onlyvisible --name 'Recover unsaved work' "
                               "windowfocus --sync %1 key Return && "
                               "xdotool search --sync --onlyvisible --name 'doc[.]cvx' "
                               "windowfocus --sync %1 key ctrl+z")});
    keys.waitForStarted();
    if (program.waitForFinished(delay))
        fail(counts, QStringLiteral("program round %1: cellvane ended by itself").arg(round));
    killNow(program);
    keys.kill();
    keys.waitForFinished();
    ++counts.kills;

    int found = -1;
    if (!journaled(&found))
        fail(counts, QStringLiteral("program round %1: the work is lost").arg(round));
    else if (found < prepared - 2 || found > prepared)
        fail(counts, QStringLiteral("program round %1: recovered step %2 after step %3")
                         .arg(round)
                         .arg(found)
                         .arg(prepared));
    std::printf("program kill %2d at %4d ms: journal of step %d, recovered step %d\n", round, delay,
                prepared, found);
}

void killRunner(const QString& runner, const QString& list, const QString& base, int round,
                int delay, const QByteArray& oldDigest, const QString& oldFile,
                const QByteArray& newDigest, Counts& counts) {
    const QString folder = QStringLiteral("%1/runner-%2").arg(base).arg(round);
    QDir().mkpath(folder);
    const QString output = folder + QStringLiteral("/out.cvx");
    QFile::copy(oldFile, output);
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(runner, {list, QStringLiteral("--output"), output});
    process.waitForStarted();
    bool killed = false;
    if (!process.waitForFinished(delay)) {
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        ++counts.kills;
        killed = true;
    }
    ++counts.savesChecked;
    const auto digest = savedDigest(output);
    const char* which = !digest                ? "torn"
                        : *digest == oldDigest ? "old"
                        : *digest == newDigest ? "new"
                                               : "unknown";
    std::printf("runner %s %2d at %4d ms: output is the %s file\n", killed ? "kill" : "ran out",
                round, delay, which);
    if (!digest || (*digest != oldDigest && *digest != newDigest))
        fail(counts, QStringLiteral("runner round %1: output is %2").arg(round).arg(which));
    // Nothing is left where the user works but the outputs, each whole: the list's picture is
    // absent or a complete image. (Files are written without a name; only a kill inside the
    // instant of a commit can leave a hidden transient name, which the user does not see.)
    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QString& name : left) {
        if (name == QStringLiteral("out.cvx"))
            continue;
        if (name == QStringLiteral("trench.png") && !QImage(QDir(folder).filePath(name)).isNull())
            continue;
        fail(counts, QStringLiteral("runner round %1 left %2").arg(round).arg(name));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() >= 3 && arguments[1] == QLatin1String("--child"))
        return child(arguments[2], arguments.value(3, QString::number(scriptSteps)).toInt());
    const auto value = [&](const char* name, const QString& fallback = QString()) {
        const int at = arguments.indexOf(QLatin1String(name));
        return at > 0 && at + 1 < arguments.size() ? arguments[at + 1] : fallback;
    };
    const QString runner = value("--runner"), list = value("--list"), cellvane = value("--program");
    const int kills = value("--kills", QStringLiteral("20")).toInt();
    const quint32 seed =
        value("--seed", QString::number(QRandomGenerator::system()->generate())).toUInt();
    if (runner.isEmpty() || list.isEmpty()) {
        std::fprintf(stderr,
                     "usage: cellvane_chaos --runner PROGRAM --list LIST.plst [--program CELLVANE] "
                     "[--kills N] [--seed S]\n");
        return 2;
    }
    std::printf("seed %u\n", seed);
    QRandomGenerator random(seed);
    QTemporaryDir base;

    // The reference: the same session run to its end, timed, with the digest of every state.
    std::vector<QByteArray> stepDigests(scriptSteps + 1);
    std::map<int, QByteArray> saveDigests;
    QElapsedTimer clock;
    clock.start();
    {
        const QString folder = base.filePath(QStringLiteral("reference"));
        QDir().mkpath(folder);
        qputenv("XDG_CACHE_HOME", (folder + QStringLiteral("/cache")).toUtf8());
        Ui::MainWindow window(nullptr, std::make_unique<ScriptedPrompts>());
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        runScript(window, folder, [&](const Event& event) {
            if (event.kind == Event::Step)
                stepDigests[std::size_t(event.index)] = event.digest;
            else
                saveDigests[event.index] = event.digest;
        });
        window.getPresenter()->discardRecovery();
    }
    const int sessionMs = int(clock.elapsed());
    clock.restart();
    const QString reference = base.filePath(QStringLiteral("reference/doc.cvx"));
    const QString complete = base.filePath(QStringLiteral("complete.cvx"));
    QProcess::execute(runner, {list, QStringLiteral("--output"), complete});
    const int runnerMs = int(clock.elapsed());
    const auto oldDigest = savedDigest(reference), newDigest = savedDigest(complete);
    if (!oldDigest || !newDigest) {
        std::fprintf(stderr, "the reference runs did not write their documents\n");
        return 1;
    }
    std::printf("reference: session %d ms, runner %d ms\n", sessionMs, runnerMs);

    Counts counts;
    // Moments past the end of a run kill nothing; draw again until the kills are made.
    const int runnerKills = kills * 3 / 10;
    for (int round = 0; counts.kills < kills - runnerKills && round < 3 * kills; ++round)
        killWindow(QCoreApplication::applicationFilePath(), base.path(), round,
                   int(random.bounded(sessionMs)), stepDigests, saveDigests, counts);
    // The shipped program, at moments within its first three seconds: recovering, journaling
    // the recovered work again, undoing.
    const int programKills = cellvane.isEmpty() ? 0 : std::max(1, kills / 5);
    for (int round = 0; round < programKills; ++round)
        killProgram(cellvane, base.path(), round, int(random.bounded(3000)), stepDigests, counts);
    for (int round = 0; counts.kills < kills + programKills && round < 3 * kills; ++round)
        killRunner(runner, list, base.path(), round, int(random.bounded(runnerMs * 9 / 10)),
                   *oldDigest, reference, *newDigest, counts);
    std::printf("kills %d, recoveries %d, nothing to recover %d, saved files checked %d, "
                "steps lost beyond the running one %d, mismatches %d\n",
                counts.kills, counts.recoveries, counts.nothingToRecover, counts.savesChecked,
                counts.stepsLostBeyondTheRunning, counts.mismatches);
    return counts.kills == kills + programKills && counts.mismatches == 0 &&
                   counts.stepsLostBeyondTheRunning == 0
               ? 0
               : 1;
}
