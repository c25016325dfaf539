#include "UI/Observers/atomicsibcaetchobserver.h"

#include "UI/Operations/bcaetchingdialog.h"

namespace Ui::Observers {

void AtomicSiBCAEtchObserver::update() {
    Ui::Operations::BCAEtchingDialog::runFor(
        operation(), parentWidget(), [this](QDialog& dialog) { return execDialog(dialog); });
}

} // namespace Ui::Observers
