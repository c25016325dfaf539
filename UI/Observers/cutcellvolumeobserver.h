#pragma once

#include "Core/Operations/WholeVolume/cutcellvolumeoperation.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the cut dialog at the volume's current limits. Previews and OK set limits on the
// volume; Cancel puts back the limits it had when the dialog opened, previews undone.
class CutCellVolumeObserver : public OperationObserver<Core::Operations::CutCellVolumeOperation> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
