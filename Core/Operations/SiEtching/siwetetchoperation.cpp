#include "Core/Operations/SiEtching/siwetetchoperation.h"

#include "Core/Operations/SiEtching/maskwear.h"
#include "Core/Operations/celllength.h"
#include "Core/Operations/volumeprocessoperation.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

#include <new>

namespace Core::Operations {

namespace {
Q_LOGGING_CATEGORY(lcWetEtchOperation, "Core/Operations/SiEtching/siwetetchoperation", QtInfoMsg)
} // namespace

using Model::Automaton::TotalVolume;

SiWetEtchOperation::SiWetEtchOperation(OperationContext& context, const QString& name, int id,
                                       const QString& stateKey)
    : ObjectOperation(name, id), context(context), snapshots(stateKey, context) {}

void SiWetEtchOperation::message(const QString& text) const {
    context.consoleInput.writeMessage(name + text);
}

void SiWetEtchOperation::setTarget(std::shared_ptr<TotalVolume> volume) {
    target = std::move(volume);
    volumeSelected = bool(target);
}

bool SiWetEtchOperation::takeSelectedVolume() {
    // The last selected cell volume, when several are selected.
    std::shared_ptr<TotalVolume> chosen;
    for (const auto& object : context.selection.getSelectedObjects()) {
        if (auto volume = std::dynamic_pointer_cast<TotalVolume>(object))
            chosen = volume;
    }
    if (!chosen) {
        // Otherwise a single cell volume the user has just picked.
        int volumes = 0;
        for (const auto& object : context.viewInteraction.getPickedObjects()) {
            if (auto volume = std::dynamic_pointer_cast<TotalVolume>(object)) {
                chosen = volume;
                ++volumes;
            }
        }
        if (volumes != 1)
            chosen.reset();
    }
    if (!chosen)
        return false;
    selectVolume(std::move(chosen));
    return true;
}

void SiWetEtchOperation::selectVolume(std::shared_ptr<TotalVolume> volume) {
    setTarget(std::move(volume));
    context.selection.setSelectionMode(false);
    context.selection.clearSelection();
    context.notifyUpdateObservers();
    message(QStringLiteral(": Cell volume selected."));
}

void SiWetEtchOperation::step() {
    if (!volumeSelected && !asked) {
        asked = true;
        askForVolume(context, name, nullptr, *this);
        return;
    }
    if (!volumeSelected && !takeSelectedVolume()) {
        message(QStringLiteral(": Select a cell volume and press Enter/Return."));
        context.consoleInput.requestEnter(*this);
        context.selection.setSelectionMode(true);
        return;
    }
    // The dialog may finish or cancel this operation, which lets the presenter drop it.
    const OperationPtr keepAlive = weak_from_this().lock();
    if (observer)
        observer->update();
}

void SiWetEtchOperation::cancel() {
    message(QStringLiteral(": Operation canceled."));
    context.consoleInput.reset();
    context.host.cancelCurrentOperation();
}

bool SiWetEtchOperation::prepareLattice(TotalVolume& volume, const ProcessHistory& history,
                                        bool& rebuilt, QString* reason) {
    rebuilt = false;
    if (!history.isLatticeRebuildNeeded(volume.getId()) && volume.getSiLattice())
        return true;
    rebuilt = true;
    return volume.rebuildSiLattice(reason);
}

void SiWetEtchOperation::end() {
    if (!volumeSelected || !optionsAccepted || !target) {
        cancel();
        return;
    }
    const OperationPtr keepAlive = weak_from_this().lock();
    const int volumeId = target->getId();
    // The depth is given in µm and etched in whole cells; the lattice counts in scene units.
    double microns = depth;
    if (recipe) {
        if (const QString refusal = recipe->refusal(); !refusal.isEmpty()) {
            message(QStringLiteral(": ") + refusal);
            cancel();
            return;
        }
        microns = recipe->depthMicrons();
        message(QStringLiteral(": %1 %2 wt% at %3 °C, (100) %4 µm/min: %5")
                    .arg(recipe->etchant ? etchantName(*recipe->etchant) : QStringLiteral("KOH"))
                    .arg(recipe->concentration)
                    .arg(recipe->temperature)
                    .arg(QString::number(recipe->rate100(), 'f', 3), recipe->depthText()));
    }
    const CellLength cells = CellLength::of(*target, microns);
    if (const QString refusal = cells.refusal(QStringLiteral("etch depth")); !refusal.isEmpty()) {
        message(QStringLiteral(": ") + refusal);
        cancel();
        return;
    }
    const double runDepth = cells.sceneUnits();

    QElapsedTimer timer;
    timer.start();
    bool latticeReady = false;
    QString reason;
    try {
        // Building the lattice changes no material, so it needs no record, only patience.
        context.host.runMonitored(
            name,
            [&](Util::ProgressReporter& progress) {
                progress.start(0, QStringLiteral("Building the silicon lattice"));
                bool rebuilt = false;
                latticeReady = prepareLattice(*target, context.processHistory, rebuilt, &reason);
                if (rebuilt)
                    qCDebug(lcWetEtchOperation).nospace()
                        << "Time to allocate Si structure " << timer.elapsed();
            },
            false);
    } catch (const std::bad_alloc&) {
        reason = QStringLiteral("Not enough memory to etch this cell volume.");
    }
    if (!latticeReady) {
        message(QStringLiteral(": ") + reason);
        context.processHistory.setLatticeRebuildNeeded(volumeId, true);
        cancel();
        return;
    }
    QString failure;
    QStringList worn;
    bool boronFailed = false;
    const RunSnapshots::Outcome outcome = snapshots.run(
        *target, name,
        [&](TotalVolume& volume, Util::ProgressReporter& progress) {
            // Boron-doped cells etch as slow silicon: the lattice takes them as silicon, and
            // they get their material back where the etch left them.
            boron = BoronEtchStop();
            if (takesRateFactors())
                boron.lift(volume);
            if (!boron.isEmpty() && !volume.rebuildSiLattice(&reason)) {
                boron.restore(volume);
                boronFailed = true;
                return;
            }
            runEngine(volume, runDepth, sides, progress);
            boron.restore(volume);
            // The etchant wears the masks as long as it etches the silicon.
            if (recipe)
                worn = MaskWear::wear(volume, *recipe, progress);
            qCDebug(lcWetEtchOperation).nospace()
                << "Total time to allocate and run " << timer.elapsed();
            timer.restart();
        },
        &failure);
    if (outcome != RunSnapshots::Outcome::Finished) {
        // The lattice is marked out of date, and the cells are as they were before the etch.
        if (outcome == RunSnapshots::Outcome::OutOfMemory)
            message(QStringLiteral(": Not enough memory to etch this cell volume."));
        else if (const QString why = RunSnapshots::stopMessage(outcome, failure); !why.isEmpty())
            message(why);
        cancel();
        return;
    }
    if (boronFailed) {
        message(QStringLiteral(": ") + reason);
        context.processHistory.setLatticeRebuildNeeded(volumeId, true);
        cancel();
        return;
    }
    // The run rebuilt the surface after the engine, on the run's thread.
    qCDebug(lcWetEtchOperation).nospace()
        << "Time to build rendered structrure " << timer.elapsed();

    context.processHistory.recordOperation(volumeId, unsigned(id));
    // A lattice built with boron-doped cells as silicon is no lattice of the cells now.
    context.processHistory.setLatticeRebuildNeeded(volumeId, !boron.isEmpty());
    context.notifyUpdateObservers();
    if (!snapshots.isUndoable())
        message(snapshots.notUndoableMessage());
    if (const QString note = cells.note(QStringLiteral("etched")); !note.isEmpty())
        message(QStringLiteral(": ") + note + QLatin1Char('.'));
    if (!worn.isEmpty())
        message(QStringLiteral(": ") + worn.join(QStringLiteral("; ")) + QLatin1Char('.'));
    message(QStringLiteral(": Operation finished."));
    context.consoleInput.reset();
    context.host.finishCurrentOperation();
}

int SiWetEtchOperation::undo() {
    if (target && !snapshots.undo(*target)) {
        message(RunSnapshots::lostMessage());
        return 0;
    }
    return 1;
}

bool SiWetEtchOperation::redo() {
    if (target && !snapshots.redo(*target)) {
        message(RunSnapshots::lostMessage());
        return false;
    }
    return true;
}

} // namespace Core::Operations
