#include "UI/Observers/documentopenedobserver.h"

#include "Core/Operations/Document/documentfile.h"
#include "Core/Operations/Document/opendocumentoperation.h"
#include "UI/Observers/documentsavedobserver.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"

namespace Ui::Observers {

using Core::Operations::DocumentFile;
using Core::Operations::OpenDocumentOperation;

DocumentOpenedObserver::DocumentOpenedObserver(MainWindowPresenter& origin,
                                               WindowFactory createWindow)
    : origin(&origin), createWindow(std::move(createWindow)) {}

MainWindow* DocumentOpenedObserver::getOpenedWindow() const {
    return opened;
}

void DocumentOpenedObserver::update() {
    const QString fileName = OpenDocumentOperation::getRememberedPath();
    if (!origin || fileName.isEmpty())
        return;
    Core::Operations::OperationContext& asking = origin->getContext();
    const auto contents =
        DocumentFile::load(fileName, asking.snapshotFiles.getArchivers(), asking.prompts);
    if (!contents)
        return;

    MainWindow* window = createWindow ? createWindow() : new MainWindow();
    if (!window)
        return;
    Core::Operations::OperationContext& target = window->getPresenter()->getContext();
    DocumentFile::apply(target, fileName, *contents);
    // A damaged file is opened without its name, so that Save cannot overwrite the intact
    // original; the title still says what is shown.
    const bool complete = !target.document->getFileName().isEmpty();
    window->setWindowTitle(DocumentSavedObserver::distinctTitleFor(window, fileName, !complete));
    // Where nothing maximizes windows, a new one would hide the first exactly.
    if (QWidget* originWindow = origin->getParentWidget())
        window->setGeometry(originWindow->normalGeometry().translated(40, 40));
    window->showMaximized();
    DocumentFile::reportDamage(target.prompts, fileName, *contents);
    opened = window;
}

} // namespace Ui::Observers
