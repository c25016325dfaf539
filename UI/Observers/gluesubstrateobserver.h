#pragma once

#include "Core/Operations/WholeVolume/gluesubstrateoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the glue dialog with the sizes the stack needs; OK glues, Cancel drops the operation.
class GlueSubstrateObserver : public OperationObserver<Core::Operations::GlueSubstrateOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
