#include "UI/Observers/createsubstrateobserver.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/createsubstratedialog.h"

namespace Ui::Observers {

void CreateSubstrateObserver::update() {
    // Held here so the operation outlives its dialog whatever becomes current meanwhile.
    const auto op = operation();
    if (!op)
        return;
    Operations::CreateSubstrateDialog dialog(parentWidget());
    dialog.setMaterials(Model::Materials::MaterialFactory::getInstance()->getMaterials());
    if (execDialog(dialog) != QDialog::Accepted) {
        op->cancel();
        return;
    }
    op->setCellSize(dialog.cellSizeX(), dialog.cellSizeY(), dialog.cellSizeZ());
    op->setCrystalOrientation(dialog.crystalOrientation());
    if (dialog.isSpherical())
        op->setSphericalSubstrate(dialog.materialId(), dialog.totalSizeX(), dialog.totalSizeY(),
                                  dialog.totalSizeZ(), dialog.position(), dialog.centerX(),
                                  dialog.centerY(), dialog.centerZ(), dialog.radius());
    else
        op->setCuboidSubstrate(dialog.materialId(), dialog.totalSizeX(), dialog.totalSizeY(),
                               dialog.totalSizeZ(), dialog.position(), dialog.substrateCornerX(),
                               dialog.substrateCornerY(), dialog.substrateCornerZ(),
                               dialog.substrateSizeX(), dialog.substrateSizeY(),
                               dialog.substrateSizeZ());
    op->step();
}

} // namespace Ui::Observers
