#pragma once

#include "Core/Operations/changetotalvolumevisualizationoptions.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the visualization dialog at the volume's current options. On OK the edited film
// colours go to the material registry first, then the options to the operation.
class ChangeTotalVolumeViewOptionsObserver
    : public OperationObserver<Core::Operations::ChangeTotalVolumeVisualizationOptions> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
