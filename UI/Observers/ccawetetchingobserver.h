#pragma once

#include "Core/Operations/SiEtching/continouswetetchoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the wet-etching options for the continuous etch.
class CCAWetEtchingObserver
    : public OperationObserver<Core::Operations::ContinousWetEtchOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
