#include "UI/Observers/isotropicprocessobservers.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Operations/electrodepositiondialog.h"
#include "UI/Operations/isotropicdepositiondialog.h"
#include "UI/Operations/isotropicetchingdialog.h"
#include "UI/Operations/mooreoptionsdialog.h"

namespace Ui::Observers {

using namespace Ui::Operations;

void IsotropicFilmDepositionObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    IsotropicDepositionDialog dialog(parentWidget());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    if (const auto rate = dialog.rate())
        op->setRate(*rate);
    else
        op->setDistance(dialog.thickness());
    op->setMaterialId(dialog.materialId());
    op->end();
}

void IsotropicFilmEtchingObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    IsotropicEtchingDialog dialog(parentWidget());
    // The release etch asks the same values of its sacrificial material.
    if (std::dynamic_pointer_cast<Core::Operations::ReleaseEtchOperation>(op))
        dialog.setWindowTitle(op->getName());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    if (const auto rate = dialog.rate())
        op->setRate(*rate);
    else
        op->setDistance(dialog.depth());
    op->setMaterialId(dialog.materialId());
    op->end();
}

void ElectrodepositionObserver::update() {
    const auto op = operation();
    if (!op)
        return;
    ElectrodepositionDialog dialog(parentWidget());
    if (execDialog(dialog) != QDialog::Accepted)
        return;
    op->setDistance(dialog.thickness());
    op->setMaterialId(dialog.materialId());
    op->setConductingMaterialId(dialog.conductingMaterialId());
    op->end();
}

namespace {

template <class Op, class Show>
void runMooreDialog(const std::shared_ptr<Op>& op, QWidget* parent, const QString& valueLabel,
                    Show&& show) {
    if (!op)
        return;
    MooreOptionsDialog dialog(parent);
    dialog.setFilms(Model::Materials::MaterialFactory::getInstance()->getMaterials());
    dialog.setValueLabel(valueLabel);
    if (show(dialog) != QDialog::Accepted) {
        op->cancel();
        return;
    }
    op->setMaterialId(dialog.materialId());
    op->setSteps(dialog.steps());
    op->end();
}

} // namespace

void MooreDepositionObserver::update() {
    runMooreDialog(operation(), parentWidget(), QStringLiteral("Film Thickness"),
                   [this](QDialog& dialog) { return execDialog(dialog); });
}

void MooreEtchingObserver::update() {
    runMooreDialog(operation(), parentWidget(), QStringLiteral("Etch Depth"),
                   [this](QDialog& dialog) { return execDialog(dialog); });
}

} // namespace Ui::Observers
