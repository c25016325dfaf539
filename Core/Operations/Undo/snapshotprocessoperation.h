#pragma once

#include "Core/Operations/Undo/runsnapshots.h"
#include "Core/Operations/celllength.h"
// Upward on purpose: this is the undo half of a volume process, so it derives from the base every
// process derives from; the processes then derive from it, never the other way round.
#include "Core/Operations/volumeprocessoperation.h"

namespace Core::Operations {

// A simulation that changes cells in place and undoes by reloading them from the snapshot
// files: the cells before the run go to the undo file, the cells after it to the redo file.
class SnapshotProcessOperation : public VolumeProcessOperation {
public:
    SnapshotProcessOperation(OperationContext& context, const QString& name, int id,
                             const QString& stateKey);

    static int nextInstance(const QString& stateKey) {
        return RunSnapshots::nextInstance(stateKey);
    }

    void end() override;
    int undo() override;
    bool redo() override;
    std::optional<JournalCells> journalCells(bool undone) const override;

protected:
    // Why the values cannot run, as a sentence; empty when they can. end() then says so after
    // the operation's name and cancels without touching the cells.
    virtual QString refusal() const { return QString(); }
    // The thickness or depth the step makes, when it makes one: end() refuses it below half a
    // cell of the target and says once how it was rounded to whole cells.
    virtual std::optional<LengthRequest> requestedLength() const { return std::nullopt; }
    // Runs off the user-interface thread while the window waits (see IOperationHost); it may
    // read the operation's values but must leave the document and the console alone.
    virtual void runEngine(Model::Automaton::TotalVolume& volume,
                           Util::ProgressReporter& progress) = 0;
    // On the user-interface thread once the run has finished, before the step is reported.
    virtual void afterRun() {}
    // Whether the run changed silicon, so the lattice must be rebuilt before a wet etch.
    virtual bool changesSilicon() const = 0;

private:
    RunSnapshots snapshots;
};

} // namespace Core::Operations
