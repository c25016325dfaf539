#include "UI/Observers/extractfilmobserver.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/extractfilmdialog.h"

namespace Ui::Observers {

void ExtractFilmObserver::update() {
    // Held here so the operation outlives its dialog whatever becomes current meanwhile.
    const auto op = operation();
    if (!op)
        return;
    Operations::ExtractFilmDialog dialog(parentWidget());
    dialog.setFilms(Model::Materials::MaterialFactory::getInstance()->getMaterials());
    if (execDialog(dialog) != QDialog::Accepted) {
        op->cancel();
        return;
    }
    op->setFilmMaterialId(dialog.materialId());
    op->setInvert(dialog.invert());
    op->end();
}

} // namespace Ui::Observers
