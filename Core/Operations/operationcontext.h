#pragma once

#include "Core/Operations/consoleinput.h"
#include "Core/Operations/ioperationfactory.h"
#include "Core/Operations/ioperationhost.h"
#include "Core/Operations/iuserprompts.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/Operations/Objects/selection.h"
#include "Core/Operations/Undo/snapshotfiles.h"
#include "Core/Operations/Undo/undoredostack.h"
#include "Core/Operations/viewinteraction.h"
#include "Model/document.h"
#include "Util/iobserver.h"

#include <memory>

namespace Core::Operations {

// Everything the presenter shares with every operation. Operations keep a reference to it and
// reach the user interface only through `host` and `prompts`.
class OperationContext {
public:
    OperationContext(IOperationHost& host, IUserPrompts& prompts);

    OperationContext(const OperationContext&) = delete;
    OperationContext& operator=(const OperationContext&) = delete;

    void notifyUpdateObservers() { Util::notifyAll(updateObservers); }

    OperationPtr currentOperation;
    ConsoleInput consoleInput;
    ViewInteraction viewInteraction;
    std::shared_ptr<Model::Document> document;
    UndoRedoStack undoRedoStack;
    Util::ObserverList updateObservers;
    Selection selection;
    SnapshotFiles snapshotFiles;
    ProcessHistory processHistory;
    std::shared_ptr<IOperationFactory> operationFactory;

    IOperationHost& host;
    IUserPrompts& prompts;
};

} // namespace Core::Operations
