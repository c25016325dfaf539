#include "UI/mainwindowpresenter.h"

#include "Core/Operations/Document/opendocumentoperation.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/Process/processfactory.h"
#include "UI/Console/commandconsole.h"
#include "UI/Input/editcompatiblematerialsdialog.h"
#include "UI/Input/managematerialsdialog.h"
#include "UI/Observers/documentopenedobserver.h"
#include "UI/Observers/undoredoobserver.h"
#include "UI/operationfactory.h"
#include "UI/widgetuserprompts.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace Ui {

using namespace Core::Operations;

namespace {

// With the name the Edit menu shows, which a recovered journal gives back to its undo history.
std::optional<JournalCells> journalCellsOf(const ObjectOperation& operation, bool undone) {
    std::optional<JournalCells> cells = operation.journalCells(undone);
    if (cells)
        cells->name = operation.getName();
    return cells;
}

} // namespace

MainWindowPresenter::MainWindowPresenter(QWidget* parent, std::unique_ptr<IUserPrompts> userPrompts)
    : QObject(parent), parentWidget(parent),
      prompts(userPrompts ? std::move(userPrompts) : std::make_unique<WidgetUserPrompts>(parent)),
      context(std::make_unique<OperationContext>(*this, *prompts)),
      journal(std::make_unique<RecoveryJournal>(*context)), longSteps(parent) {
    // The main window docks it; without one (tests) it is a plain child of the parent.
    console = new Console::CommandConsole(context->consoleInput, parent);

    undoObserver = std::make_shared<Observers::UndoRedoObserver>();
    redoObserver = std::make_shared<Observers::UndoRedoObserver>();
    connect(undoObserver.get(), &Observers::UndoRedoObserver::stackChanged, this,
            &MainWindowPresenter::undoStackChanged);
    connect(redoObserver.get(), &Observers::UndoRedoObserver::stackChanged, this,
            &MainWindowPresenter::redoStackChanged);
    context->undoRedoStack.getUndoObservers().push_back(undoObserver);
    context->undoRedoStack.getRedoObservers().push_back(redoObserver);

    context->operationFactory = std::make_shared<OperationFactory>(*this);

    // The journal is written on its own thread; the user hears of it on this one, once per
    // change, so that a disk that stays full does not ask after every step.
    journal->setProtectionCallback([this](bool protectedNow, const QString& reason) {
        QMetaObject::invokeMethod(
            this, [this, protectedNow, reason] { tellProtection(protectedNow, reason); },
            Qt::QueuedConnection);
    });
}

QString MainWindowPresenter::unprotectedMessage(const QString& reason) {
    return QStringLiteral("Unsaved work is no longer protected against a crash: the recovery "
                          "journal could not be written (%1). Save the document to keep it; "
                          "you will be told when the journal is written again.")
        .arg(reason);
}

QString MainWindowPresenter::protectedAgainMessage() {
    return QStringLiteral("Unsaved work is protected against a crash again: the recovery journal "
                          "holds the last step.");
}

void MainWindowPresenter::tellProtection(bool protectedNow, const QString& reason) {
    emit journalProtectionChanged(protectedNow, protectedNow ? protectedAgainMessage()
                                                             : unprotectedMessage(reason));
}

MainWindowPresenter::~MainWindowPresenter() {
    // Operations may still reference the context; let them go before it does.
    context->currentOperation.reset();
    context->consoleInput.reset();
    delete console.data();
}

void MainWindowPresenter::setOperationFactory(std::shared_ptr<IOperationFactory> factory) {
    context->operationFactory = std::move(factory);
}

void MainWindowPresenter::cancelRunningOperation() {
    // Hold a reference: cancel() normally drops the operation as current from inside.
    if (const OperationPtr current = context->currentOperation)
        current->cancel();
}

void MainWindowPresenter::operationActivated(const QString& operationId) {
    bool ok = false;
    unsigned number = operationId.toUInt(&ok, 10);
    if (!ok)
        number = 0;
    cancelRunningOperation();
    context->currentOperation =
        context->operationFactory ? context->operationFactory->create(number) : nullptr;
    if (const OperationPtr created = context->currentOperation)
        created->step();
}

void MainWindowPresenter::enterPressed() {
    if (console)
        console->enterPressed();
}

void MainWindowPresenter::cancelPressed() {
    cancelRunningOperation();
    context->selection.clearSelection();
    context->notifyUpdateObservers();
}

void MainWindowPresenter::setStepName(int operationId, const QString& menuText) {
    stepNames[operationId] = menuText;
}

QString MainWindowPresenter::stepName(const Operation& operation) const {
    // The user knows a step by the menu item that started it; an operation no menu starts
    // keeps its own name.
    const auto found = stepNames.find(operation.getId());
    return found == stepNames.end() ? operation.getName() : found->second;
}

void MainWindowPresenter::undoStackChanged() {
    const auto& stack = context->undoRedoStack.getUndoStack();
    emit undoNameChanged(stack.empty() ? QString() : stepName(*stack.back()));
}

void MainWindowPresenter::redoStackChanged() {
    const auto& stack = context->undoRedoStack.getRedoStack();
    emit redoNameChanged(stack.empty() ? QString() : stepName(*stack.back()));
}

bool MainWindowPresenter::undo() {
    UndoRedoStack& stacks = context->undoRedoStack;
    const ObjectOperationPtr operation = stacks.takeUndo();
    if (operation) {
        cancelRunningOperation();
        if (operation->undo() == 1) {
            journal->stepFinished(journalCellsOf(*operation, true));
            stacks.pushRedo(operation);
            stacks.notifyRedoObservers();
            setDocumentModified(true);
        } else {
            stacks.pushUndo(operation);
        }
    }
    stacks.notifyUndoObservers();
    return bool(operation);
}

void MainWindowPresenter::redo() {
    UndoRedoStack& stacks = context->undoRedoStack;
    if (const ObjectOperationPtr operation = stacks.takeRedo()) {
        cancelRunningOperation();
        if (operation->redo()) {
            journal->stepFinished(journalCellsOf(*operation, false));
            setDocumentModified(true);
            stacks.pushUndo(operation);
            stacks.notifyUndoObservers();
        } else {
            stacks.pushRedo(operation);
        }
    }
    stacks.notifyRedoObservers();
}

void MainWindowPresenter::dropCurrentOperation() {
    context->currentOperation.reset();
    context->selection.clearSelection();
    context->notifyUpdateObservers();
}

void MainWindowPresenter::finishCurrentOperation() {
    const OperationPtr current = context->currentOperation;
    if (const auto undoable = std::dynamic_pointer_cast<ObjectOperation>(current)) {
        context->undoRedoStack.pushFinished(undoable);
        journal->stepFinished(journalCellsOf(*undoable, false));
        setDocumentModified(true);
    } else if (current && !context->document->isModified() && journal->getSteps() > 0) {
        // Saved: what the journal holds is in the file now.
        journal->documentClean();
    }
    dropCurrentOperation();
}

void MainWindowPresenter::cancelCurrentOperation() {
    // An operation cancelled while it waited for a pick must not leave the view picking.
    context->selection.setSelectionMode(false);
    dropCurrentOperation();
}

void MainWindowPresenter::runMonitored(const QString& name,
                                       const std::function<void(Util::ProgressReporter&)>& work,
                                       bool cancellable) {
    QElapsedTimer clock;
    clock.start();
    const auto report = [&](const char* how) {
        // Only the step itself is timed; restoring after it or preparing it is not a step.
        if (cancellable)
            emit stepTimed(QStringLiteral("%1 %2 %3 s")
                               .arg(name, QLatin1String(how))
                               .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    };
    try {
        longSteps.run(name, work, cancellable);
    } catch (const Util::RunCancelled&) {
        report("cancelled after");
        throw;
    } catch (...) {
        report("failed after");
        throw;
    }
    report("took");
}

void MainWindowPresenter::newDocument() {
    // Only unsaved work is worth a question, and the question offers to save it.
    if (context->document->isModified()) {
        using Choice = IUserPrompts::SaveChoice;
        const QString fileName = context->document->getFileName();
        const Choice choice = prompts->askToSave(
            QStringLiteral("Create new document"),
            fileName.isEmpty()
                ? QStringLiteral("Save changes to the new document?")
                : QStringLiteral("Save changes to %1?").arg(QFileInfo(fileName).fileName()));
        if (choice == Choice::Cancel || (choice == Choice::Save && !saveDocument()))
            return;
    }
    cancelRunningOperation();
    context->currentOperation.reset();
    context->selection.clearSelection();
    context->undoRedoStack.clear();
    context->consoleInput.reset();
    context->viewInteraction.reset();
    context->viewInteraction.clearMarks();
    dialogMemory.clear();
    context->document->clear();
    context->processHistory.clear();
    journal->documentClean();
    context->notifyUpdateObservers();
    emit documentModifiedChanged(false);
}

MainWindow* MainWindowPresenter::openDocument(const QString& fileName) {
    using Core::Operations::OpenDocumentOperation;
    cancelRunningOperation();
    // Operation 11 is "Open document"; creating it puts this window's opened-observer in place.
    context->currentOperation =
        context->operationFactory ? context->operationFactory->create(11) : nullptr;
    const auto open = std::dynamic_pointer_cast<OpenDocumentOperation>(context->currentOperation);
    if (!open) {
        context->currentOperation.reset();
        return nullptr;
    }
    // The dialog gives absolute names; so must a name typed relative to the working folder, or
    // Save would write wherever that folder is later.
    open->openFile(QFileInfo(fileName).absoluteFilePath());
    const auto observer = std::dynamic_pointer_cast<Observers::DocumentOpenedObserver>(
        OpenDocumentOperation::getObserver());
    return observer ? observer->getOpenedWindow() : nullptr;
}

bool MainWindowPresenter::saveDocument() {
    operationActivated(QStringLiteral("9"));
    return !context->document->isModified();
}

void MainWindowPresenter::setDocumentModified(bool modified) {
    context->document->setModified(modified);
    emit documentModifiedChanged(modified);
}

void MainWindowPresenter::applyRecovered(const RecoveryJournal::Recovered& recovered) {
    RecoveryJournal::apply(*context, recovered);
    journal->setSteps(recovered.summary.steps - 1);
    journal->stepFinished();
    setDocumentModified(true);
}

void MainWindowPresenter::discardRecovery() {
    journal->waitForWrites();
    context->snapshotFiles.getSession().remove();
}

void MainWindowPresenter::keepForRecovery() {
    journal->waitForWrites();
    RecoverySession& session = context->snapshotFiles.getSession();
    if (context->document->isModified() && journal->getSteps() > 0)
        session.keepForRecovery(true);
    else
        session.remove();
}

void MainWindowPresenter::manageMaterials() {
    Input::ManageMaterialsDialog dialog(parentWidget);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto materials = Model::Materials::MaterialFactory::getInstance();
    for (const Model::Materials::Material& material : dialog.getMaterials())
        materials->updateMaterial(material);
    // The next start and the command-line programs read the registry file.
    materials->saveMaterials();
    context->selection.clearSelection();
    // Surfaces carry the colours they were built with; recolour them so the edit shows at once.
    for (const Model::ObjectPtr& object : context->document->getObjects()) {
        if (auto* volume = dynamic_cast<Model::Automaton::TotalVolume*>(object.get()))
            volume->getPainter().updateMaterialColors();
    }
    context->notifyUpdateObservers();
}

void MainWindowPresenter::manageCompatibleMaterials() {
    Input::EditCompatibleMaterialsDialog dialog(parentWidget);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto processes = Model::Process::ProcessFactory::getInstance();
    for (const Model::Process::Process& process : dialog.getProcesses())
        processes->updateProcess(process);
    processes->saveProcesses();
}

void MainWindowPresenter::setSelectionMode(bool mode) {
    if (context->selection.isSelectionMode() != mode)
        context->selection.setSelectionMode(mode);
}

} // namespace Ui
