#pragma once

#include "Core/Operations/Undo/recoveryjournal.h"
#include "Core/Operations/ioperationhost.h"
#include "Core/Operations/iuserprompts.h"
#include "Core/Operations/operationcontext.h"
#include "UI/Console/commandconsole.h"
#include "UI/dialogmemory.h"
#include "UI/longsteprunner.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>

class QWidget;

namespace Ui {

class MainWindow;

namespace Observers {
class UndoRedoObserver;
}

// Drives operations for one main window: activates them by number, feeds them Enter and
// Escape, keeps the undo and redo stacks, and owns the context every operation shares.
class MainWindowPresenter : public QObject, public Core::Operations::IOperationHost {
    Q_OBJECT
public:
    // `prompts` replaces the real dialogs (tests); by default they open over `parent`.
    explicit MainWindowPresenter(QWidget* parent,
                                 std::unique_ptr<Core::Operations::IUserPrompts> prompts = {});
    ~MainWindowPresenter() override;

    void finishCurrentOperation() override;
    void cancelCurrentOperation() override;
    // Off the user-interface thread, behind a progress window when it takes long.
    void runMonitored(const QString& name, const std::function<void(Util::ProgressReporter&)>& work,
                      bool cancellable = true) override;
    LongStepRunner& getLongStepRunner() { return longSteps; }
    DialogMemory& getDialogMemory() { return dialogMemory; }

    bool undo();
    void redo();
    void newDocument();
    // Opens `fileName` in a window of its own as File > Open does once the file is chosen, with
    // the same messages. Gives the new window; null when the file could not be read.
    MainWindow* openDocument(const QString& fileName);
    // Saves the document as Save does (asking for a name when it has none). True when it is
    // saved afterwards.
    bool saveDocument();
    // Puts recovered work into this window's empty document: marked modified, under the file
    // name it had, and journaled again at once in this window's own session.
    void applyRecovered(const Core::Operations::RecoveryJournal::Recovered& recovered);
    // The window closes for good: its session folder and journal go.
    void discardRecovery();
    // The program ends on a signal: the journal stays for the next start when there is unsaved
    // work, and its last writes are waited for.
    void keepForRecovery();
    Core::Operations::RecoveryJournal& getJournal() { return *journal; }
    // What the window says when the journal stops holding the last step, and when it does again.
    static QString journalTitle() { return QStringLiteral("Recovery journal"); }
    static QString unprotectedMessage(const QString& reason);
    static QString protectedAgainMessage();
    void setSelectionMode(bool mode);

    Core::Operations::OperationContext& getContext() { return *context; }
    std::shared_ptr<Model::Document> getDocument() const { return context->document; }
    Core::Operations::Selection& getSelection() { return context->selection; }
    Core::Operations::ViewInteraction& getViewInteraction() { return context->viewInteraction; }
    Util::ObserverList& getUpdateObservers() { return context->updateObservers; }
    Core::Operations::ConsoleInput& getConsoleInput() { return context->consoleInput; }
    Core::Operations::UndoRedoStack& getUndoRedoStack() { return context->undoRedoStack; }
    Core::Operations::SnapshotFiles& getSnapshotFiles() { return context->snapshotFiles; }
    Core::Operations::ProcessHistory& getProcessHistory() { return context->processHistory; }
    Core::Operations::IUserPrompts& getPrompts() { return *prompts; }
    QWidget* getParentWidget() const { return parentWidget; }
    Console::CommandConsole* getConsole() const { return console; }

    // The text of the menu item that starts operation `operationId`; Undo, Redo and the step
    // history name steps by it.
    void setStepName(int operationId, const QString& menuText);
    QString stepName(const Core::Operations::Operation& operation) const;

    void setOperationFactory(std::shared_ptr<Core::Operations::IOperationFactory> factory);

public slots:
    void undoStackChanged();
    void redoStackChanged();
    void operationActivated(const QString& operationId);
    void enterPressed();
    void cancelPressed();
    // "Manage Materials": on acceptance the edited and added materials replace the registered
    // ones for this run (materials.xml is not rewritten) and the view redraws in their colours.
    void manageMaterials();
    // "Edit Compatible Materials": on acceptance the edited lists are registered and saved.
    void manageCompatibleMaterials();

signals:
    // The document gained or lost unsaved changes.
    void documentModifiedChanged(bool modified);
    // The name of the operation Undo (Redo) would act on; empty when there is none.
    void undoNameChanged(const QString& name);
    void redoNameChanged(const QString& name);
    // A step has run: how it ended and how long it took, in words for the status bar.
    void stepTimed(const QString& text);
    // The recovery journal stopped holding the last step, or holds it again: `message` says
    // which, and why.
    void journalProtectionChanged(bool protectedNow, const QString& message);

private:
    void cancelRunningOperation();
    void dropCurrentOperation();
    void setDocumentModified(bool modified);
    void tellProtection(bool protectedNow, const QString& reason);

    QPointer<QWidget> parentWidget;
    std::unique_ptr<Core::Operations::IUserPrompts> prompts;
    std::unique_ptr<Core::Operations::OperationContext> context;
    // Declared after the context, so that it is gone (its writes done) before the session
    // folder it writes into.
    std::unique_ptr<Core::Operations::RecoveryJournal> journal;
    QPointer<Console::CommandConsole> console;
    std::shared_ptr<Observers::UndoRedoObserver> undoObserver;
    std::shared_ptr<Observers::UndoRedoObserver> redoObserver;
    LongStepRunner longSteps;
    std::map<int, QString> stepNames;
    DialogMemory dialogMemory;
};

} // namespace Ui
