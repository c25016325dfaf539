#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"
#include "Model/layer.h"

#include <memory>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

class OperationContext;

// What the runs of one batch-run dialog changed, as one step on the undo stack: the cells of
// the volume the runs started on (recorded before the first run and after the dialog closed)
// and the volumes its "Create Substrate" steps added to the document.
class BatchRunChanges : public ObjectOperation {
public:
    // `volume` is the volume chosen for the runs; empty when they start without one.
    BatchRunChanges(OperationContext& context,
                    std::shared_ptr<Model::Automaton::TotalVolume> volume);

    // Before every run, on the user-interface thread; the first one records the cells. When
    // they cannot be recorded the user is asked whether to run without undo: false, with the
    // reason on the console, when not (the next run asks again).
    bool aboutToRun();
    // After the last run. False when nothing ran, so there is nothing to undo.
    bool finish();

    // Never driven by the presenter: it goes on the undo stack finished.
    const void* subject() const override { return volume.get(); }
    void step() override {}
    void cancel() override {}
    void end() override {}
    int undo() override;
    bool redo() override;

    const Model::ObjectList& getCreatedVolumes() const { return created; }

private:
    OperationContext& context;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    TotalVolumeUndoRedoHelper snapshots;
    Model::ObjectList objectsBefore;
    Model::ObjectList created;
    bool ran = false;
    bool recordedBefore = false;
    bool recordedBoth = false;
    // The volume's last process before the first run and after the last, for the history to
    // follow the cells through undo and redo.
    unsigned lastBefore = 0;
    unsigned lastAfter = 0;
};

} // namespace Core::Operations
