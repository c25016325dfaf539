#pragma once

#include "Core/Operations/Planarization/planarizationoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the planarization dialog limited to the volume's height; OK planarizes, Cancel
// cancels the operation.
class PlanarizationObserver : public OperationObserver<Core::Operations::PlanarizationOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
