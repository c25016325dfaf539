#include "UI/operationfactory.h"

#include "UI/mainwindowpresenter.h"

namespace Ui {

OperationFactory::OperationFactory(MainWindowPresenter& presenter) : presenter(presenter) {}

Core::Operations::OperationPtr OperationFactory::create(unsigned int operationNumber) {
    const auto found = creators.find(operationNumber);
    return found == creators.end() ? nullptr : found->second(*this);
}

QWidget* OperationFactory::getParentWidget() const { return presenter.getParentWidget(); }

} // namespace Ui
