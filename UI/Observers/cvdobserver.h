#pragma once

#include "Core/Operations/Anisotropic/anisotropicfilmdepositionoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the options of the process "PVD" for an anisotropic deposition and, on OK, passes the
// values on and runs it. A cancelled dialog leaves the operation pending.
class CVDObserver : public OperationObserver<Core::Operations::AnisotropicFilmDepositionOperation> {
public:
    CVDObserver(Core::Operations::OperationPtr& currentOperation, QWidget* parent);
    void update() override;

private:
    QString processName;
};

} // namespace Ui::Observers
