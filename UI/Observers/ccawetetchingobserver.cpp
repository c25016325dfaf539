#include "UI/Observers/ccawetetchingobserver.h"

#include "UI/Operations/bcaetchingdialog.h"

namespace Ui::Observers {

void CCAWetEtchingObserver::update() {
    Ui::Operations::BCAEtchingDialog::runFor(
        operation(), parentWidget(), [this](QDialog& dialog) { return execDialog(dialog); });
}

} // namespace Ui::Observers
