#pragma once

#include "Core/Operations/Photolithography/photolithographyoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the photolithography dialog; masks applied in it show on the volume at once. OK sets
// the resist and both masks and develops; Cancel cancels the operation.
class PhotolithographyObserver
    : public OperationObserver<Core::Operations::PhotolithographyOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
