#include "Core/Operations/Undo/recoveredstep.h"

#include "Core/Operations/Undo/runsnapshots.h"
#include "Core/Operations/operationcontext.h"
#include "Model/Automaton/totalvolume.h"

namespace Core::Operations {

RecoveredStep::RecoveredStep(
    OperationContext& context, const JournalCells& cells,
    std::shared_ptr<Model::Automaton::TotalVolume> volume, unsigned lastBefore, unsigned lastAfter,
    std::shared_ptr<const std::map<std::uint32_t, std::uint32_t>> materialIds)
    : ObjectOperation(cells.name, 0), context(context), helper(cells.key, cells.instance, context),
      volume(std::move(volume)), lastBefore(lastBefore), lastAfter(lastAfter) {
    helper.setMaterialIds(std::move(materialIds));
}

int RecoveredStep::undo() {
    if (!helper.undo(*volume)) {
        context.consoleInput.writeMessage(name + RunSnapshots::lostMessage());
        return 0;
    }
    context.processHistory.recordOperation(volume->getId(), lastBefore);
    return 1;
}

bool RecoveredStep::redo() {
    if (!helper.redo(*volume)) {
        context.consoleInput.writeMessage(name + RunSnapshots::lostMessage());
        return false;
    }
    context.processHistory.recordOperation(volume->getId(), lastAfter);
    return true;
}

std::optional<JournalCells> RecoveredStep::journalCells(bool undone) const {
    return JournalCells{volume->getId(), undone, helper.getKey(), helper.getInstance(), name};
}

} // namespace Core::Operations
