#pragma once

#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/Undo/totalvolumeundoredohelper.h"

#include <memory>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

class OperationContext;

// A step of a recovered journal, back on the undo (or redo) stack of the window that recovered
// it: it undoes and redoes from its records, which were copied into that window's snapshot
// files, with the material ids of the program that wrote them translated into this one's.
class RecoveredStep : public ObjectOperation {
public:
    // `lastBefore` and `lastAfter`: the volume's last process before the step and after it.
    RecoveredStep(OperationContext& context, const JournalCells& cells,
                  std::shared_ptr<Model::Automaton::TotalVolume> volume, unsigned lastBefore,
                  unsigned lastAfter,
                  std::shared_ptr<const std::map<std::uint32_t, std::uint32_t>> materialIds);

    void step() override {}
    void cancel() override {}
    void end() override {}
    int undo() override;
    bool redo() override;
    std::optional<JournalCells> journalCells(bool undone) const override;

private:
    OperationContext& context;
    TotalVolumeUndoRedoHelper helper;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    unsigned lastBefore;
    unsigned lastAfter;
};

} // namespace Core::Operations
