#pragma once

#include "Core/Operations/WholeVolume/extractfilm.h"
#include "UI/Observers/operationobserver.h"

namespace Ui::Observers {

// Opens the extract dialog with every registered material; OK extracts, Cancel cancels.
class ExtractFilmObserver : public OperationObserver<Core::Operations::ExtractFilm> {
public:
    using OperationObserver::OperationObserver;
    void update() override;
};

} // namespace Ui::Observers
