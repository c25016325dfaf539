#pragma once

#include "UI/Observers/runmodelextractionobserver.h"
#include "Util/iobserver.h"

namespace Ui::Observers {

// Closes the model-extraction dialog when the extraction is cancelled from elsewhere.
class DestroyModelExtractionDialogObserver : public Util::IObserver {
public:
    explicit DestroyModelExtractionDialogObserver(ExtractModelDialogSlot dialog)
        : dialog(std::move(dialog)) {}
    void update() override;

private:
    ExtractModelDialogSlot dialog;
};

} // namespace Ui::Observers
