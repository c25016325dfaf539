#pragma once

#include "Core/Operations/SiOxidation/simplesioxidationoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the oxidation options and, on OK, passes the conversion and either the time,
// pressure and temperature or the thickness, and runs the oxidation. A cancelled dialog runs
// nothing.
class SiOxidationObserver : public OperationObserver<Core::Operations::SimpleSiOxidationOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
