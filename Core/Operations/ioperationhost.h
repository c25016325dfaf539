#pragma once

#include "Util/progressreporter.h"

#include <QString>

#include <functional>

namespace Core::Operations {

// What an operation asks of whoever drives it (the presenter, or a fake in tests).
class IOperationHost {
public:
    virtual ~IOperationHost() = default;
    // Pushes an undoable current operation on the undo stack, then drops it as current.
    virtual void finishCurrentOperation() = 0;
    virtual void cancelCurrentOperation() = 0;

    // Runs a long piece of the operation called `name` and returns when it is over, rethrowing
    // whatever `work` threw (Util::RunCancelled after a cancel). The window runs it off its
    // own thread and shows its progress, with a Cancel button when `cancellable`, while it
    // keeps repainting; `work` must therefore leave the document, the console and the views
    // alone. By default it simply runs here, with no one watching.
    virtual void runMonitored(const QString& name,
                              const std::function<void(Util::ProgressReporter&)>& work,
                              bool cancellable = true) {
        (void)name;
        (void)cancellable;
        work(Util::ProgressReporter::none());
    }
};

} // namespace Core::Operations
