#include "UI/Observers/cvdobserver.h"

#include "Model/Process/processfactory.h"
#include "UI/Operations/anisotropicdepositiondialog.h"

namespace Ui::Observers {

CVDObserver::CVDObserver(Core::Operations::OperationPtr& currentOperation, QWidget* parent)
    : OperationObserver(currentOperation, parent),
      processName(Model::Process::ProcessFactory::getInstance()
                      ->getProcess(QStringLiteral("PVD"))
                      .getName()) {}

void CVDObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::AnisotropicDepositionDialog dialog(processName, parentWidget());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    op->setThickness(dialog.thickness());
    op->setMaterialId(dialog.materialId());
    op->setHorizontalRatio(dialog.horizontalRatio());
    op->setDepositOnMode(dialog.depositOnMode());
    op->end();
}

} // namespace Ui::Observers
