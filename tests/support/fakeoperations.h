#pragma once

#include "Core/Operations/iuserprompts.h"
#include "Core/Operations/Objects/objectoperation.h"
#include "Core/Operations/operationcontext.h"

#include <QStringList>

#include <vector>

namespace testing_support {

// Records what was called on it; undoable when created as a FakeObjectOperation.
struct CallLog {
    int steps = 0;
    int cancels = 0;
    int ends = 0;
    int undos = 0;
    int redos = 0;
};

class FakeOperation : public Core::Operations::Operation {
public:
    FakeOperation(Core::Operations::OperationContext& context, const QString& name, int id)
        : Operation(name, id), context(context) {}
    void step() override { ++log.steps; }
    void cancel() override {
        ++log.cancels;
        context.consoleInput.reset();
        context.host.cancelCurrentOperation();
    }
    void end() override {
        ++log.ends;
        context.consoleInput.reset();
        context.host.finishCurrentOperation();
    }
    CallLog log;
    Core::Operations::OperationContext& context;
};

class FakeObjectOperation : public Core::Operations::ObjectOperation {
public:
    FakeObjectOperation(Core::Operations::OperationContext& context, const QString& name, int id)
        : ObjectOperation(name, id), context(context) {}
    void step() override { ++log.steps; }
    void cancel() override {
        ++log.cancels;
        context.consoleInput.reset();
        context.host.cancelCurrentOperation();
    }
    void end() override {
        ++log.ends;
        context.consoleInput.reset();
        context.host.finishCurrentOperation();
    }
    int undo() override {
        ++log.undos;
        return undoResult;
    }
    bool redo() override {
        ++log.redos;
        return redoResult;
    }
    CallLog log;
    int undoResult = 1;
    bool redoResult = true;
    Core::Operations::OperationContext& context;
};

// Answers every question with the scripted values and keeps what was asked.
class ScriptedPrompts : public Core::Operations::IUserPrompts {
public:
    void showMessage(Icon, const QString& title, const QString& text) override {
        messages << title + QStringLiteral(": ") + text;
    }
    bool confirm(const QString& title, const QString& text) override {
        messages << title + QStringLiteral(": ") + text;
        return confirmAnswer;
    }
    SaveChoice askToSave(const QString& title, const QString& text) override {
        messages << title + QStringLiteral(": ") + text;
        return saveAnswer;
    }
    QString chooseSaveFile(const QString&, const QString&) override { return fileAnswer; }
    QString chooseOpenFile(const QString&, const QString&) override { return fileAnswer; }

    bool confirmAnswer = true;
    SaveChoice saveAnswer = SaveChoice::Discard;
    QString fileAnswer;
    QStringList messages;
};

// Every message an operation writes to the console, in order.
class MessageLog : public Util::IObserver {
public:
    explicit MessageLog(Core::Operations::ConsoleInput& input) : input(input) {}
    void update() override { lines << input.getLastMessage(); }
    Core::Operations::ConsoleInput& input;
    QStringList lines;
};

// A host that only counts, for operations driven without a presenter. Long steps run here;
// cancellable ones report to `progress` when a test sets one.
class CountingHost : public Core::Operations::IOperationHost {
public:
    void finishCurrentOperation() override { ++finished; }
    void cancelCurrentOperation() override { ++cancelled; }
    void runMonitored(const QString&, const std::function<void(Util::ProgressReporter&)>& work,
                      bool cancellable) override {
        ++monitored;
        work(progress && cancellable ? *progress : Util::ProgressReporter::none());
    }
    int finished = 0;
    int cancelled = 0;
    int monitored = 0;
    Util::ProgressReporter* progress = nullptr;
};

} // namespace testing_support
