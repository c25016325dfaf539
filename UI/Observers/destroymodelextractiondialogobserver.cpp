#include "UI/Observers/destroymodelextractiondialogobserver.h"

namespace Ui::Observers {

void DestroyModelExtractionDialogObserver::update() {
    if (Operations::ExtractModelDialog* open = *dialog) {
        *dialog = nullptr;
        open->close();
    }
}

} // namespace Ui::Observers
