#include "UI/Observers/changetotalvolumeviewoptionsobserver.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/changevolumevisualizationdialog.h"

namespace Ui::Observers {

namespace {

std::vector<Operations::FilmColor> registeredFilms() {
    std::vector<Operations::FilmColor> films;
    for (const auto& material : Model::Materials::MaterialFactory::getInstance()->getMaterials()) {
        films.push_back({int(material.getId()), material.getName(),
                         QColor::fromRgbF(material.getRed(), material.getGreen(),
                                          material.getBlue(), material.getAlpha())});
    }
    return films;
}

// The chooser edits hue only: a film keeps the transparency it has.
void registerColors(const std::map<int, QColor>& edited) {
    const auto materials = Model::Materials::MaterialFactory::getInstance();
    for (const auto& [id, color] : edited) {
        Model::Materials::Material material = materials->getMaterial(unsigned(id));
        if (int(material.getId()) != id)
            continue;
        material.setColor(float(color.redF()), float(color.greenF()), float(color.blueF()),
                          material.getAlpha());
        materials->updateMaterial(material);
    }
}

} // namespace

void ChangeTotalVolumeViewOptionsObserver::update() {
    // Held here so the operation outlives its dialog whatever becomes current meanwhile.
    const auto op = operation();
    if (!op || !op->getVolume())
        return;
    Operations::ChangeVolumeVisualizationDialog dialog(parentWidget());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setOptions(
        Core::Operations::ChangeTotalVolumeVisualizationOptions::optionsOf(*op->getVolume()));
    dialog.setFilms(registeredFilms());
    if (dialog.exec() != QDialog::Accepted) {
        op->cancel();
        return;
    }
    registerColors(dialog.editedColors());
    op->setOptions(dialog.options());
    op->step();
}

} // namespace Ui::Observers
