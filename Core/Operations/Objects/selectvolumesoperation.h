#pragma once

#include "Core/Operations/operation.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"
#include "Util/iobserver.h"

#include <QString>

#include <memory>

namespace Core::Operations {

class BatchRunChanges;

// Chooses the cell volume a batch of processes will run on, or none: the selected volume, or
// the one the user then picks and confirms with Enter, or none when the user answers with a
// word beginning with N. The batch-run observer (one slot shared by all activations) then
// takes over; what its runs change becomes one step on the undo stack.
class SelectVolumesOperation : public Operation {
public:
    explicit SelectVolumesOperation(OperationContext& context);

    // The observer every activation notifies when the choice is made; replaces the last one.
    static void setObserver(std::shared_ptr<Util::IObserver> value);
    static std::shared_ptr<Util::IObserver> getObserver();

    void step() override;
    // Drops the operation; prints nothing.
    void cancel() override;
    void end() override;

    bool isDone() const { return done; }
    // Empty when the batch runs without a volume.
    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    // While the batch-run observer works: the record of what its runs change.
    std::shared_ptr<BatchRunChanges> getChanges() const { return changes; }

private:
    OperationContext& context;
    bool done = false;
    bool ended = false;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    QString answer;
    std::shared_ptr<BatchRunChanges> changes;
};

} // namespace Core::Operations
