#include "UI/Observers/boschdrieobserver.h"

#include "UI/Operations/boschdriedialog.h"

namespace Ui::Observers {

void BoschDrieObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    Ui::Operations::BoschDrieDialog dialog(parentWidget());
    acceptOrCancel(dialog, op, [&] { op->setRecipe(dialog.recipe()); });
}

} // namespace Ui::Observers
