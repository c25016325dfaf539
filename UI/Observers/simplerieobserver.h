#pragma once

#include "Core/Operations/ReactiveIonEtching/simplereactiveionetchingoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the simple RIE dialog; OK etches, Cancel cancels the operation.
class SimpleRIEObserver
    : public OperationObserver<Core::Operations::SimpleReactiveIonEtchingOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
