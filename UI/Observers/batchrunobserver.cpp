#include "UI/Observers/batchrunobserver.h"

#include "Core/Operations/BatchRun/batchrunchanges.h"
#include "Model/Automaton/totalvolume.h"
#include "UI/BatchRun/runprocessesdialog.h"
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"

namespace Ui::Observers {

BatchRunObserver::BatchRunObserver(Core::Operations::OperationPtr& currentOperation,
                                   MainWindowPresenter& presenter)
    : OperationObserver(currentOperation, presenter.getParentWidget()), presenter(presenter) {}

void BatchRunObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    {
        RunProcessesDialog dialog(qobject_cast<MainWindow*>(parentWidget()), &presenter,
                                  op->getVolume());
        if (const auto changes = op->getChanges())
            dialog.setBeforeRun([changes] { return changes->aboutToRun(); });
        dialog.exec();
    }
    for (const Model::ObjectPtr& object : presenter.getDocument()->getObjects()) {
        if (auto volume = std::dynamic_pointer_cast<Model::Automaton::TotalVolume>(object)) {
            volume->setTopMask({}, 0, 0);
            volume->setBottomMask({}, 0, 0);
            volume->getPainter().rebuild();
        }
    }
    presenter.getContext().notifyUpdateObservers();
}

} // namespace Ui::Observers
