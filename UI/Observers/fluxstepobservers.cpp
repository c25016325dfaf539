#include "UI/Observers/fluxstepobservers.h"

#include "UI/Operations/fluxstepdialog.h"

namespace Ui::Observers {

using Core::Operations::FluxStepRecipe;

template <class Operation> void FluxStepObserver<Operation>::update() {
    const auto op = this->operation();
    if (!op)
        return;
    Ui::Operations::FluxStepDialog dialog(op->getRecipe().kind, this->parentWidget());
    this->acceptOrCancel(dialog, op, [&] { op->setRecipe(dialog.recipe()); });
}

template class FluxStepObserver<Core::Operations::FluxEtchingOperation>;
template class FluxStepObserver<Core::Operations::FluxDepositionOperation>;

} // namespace Ui::Observers
