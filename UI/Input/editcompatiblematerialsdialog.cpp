#include "UI/Input/editcompatiblematerialsdialog.h"

#include "Model/Materials/materialfactory.h"
#include "Model/Process/processfactory.h"
#include "ui_editcompatiblematerialsdialog.h"

#include <QListWidget>

#include <algorithm>

namespace Ui::Input {

using Model::Materials::Material;

namespace {

void addMaterialItem(QListWidget* list, const Material& material) {
    auto* item = new QListWidgetItem(material.getName());
    item->setData(Qt::UserRole, material.getId());
    list->addItem(item);
}

uint32_t materialIdOf(const QListWidgetItem* item) {
    return item->data(Qt::UserRole).toUInt();
}

} // namespace

EditCompatibleMaterialsDialog::EditCompatibleMaterialsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::EditCompatibleMaterialsBaseDialog>()),
      processes(Model::Process::ProcessFactory::getInstance()->getProcesses()) {
    form->setupUi(this);
    // The first item added becomes current, which fills the lists.
    for (const Model::Process::Process& process : processes)
        form->cbxProcess->addItem(process.getName(), process.getId());
}

EditCompatibleMaterialsDialog::~EditCompatibleMaterialsDialog() = default;

const Model::Process::Process* EditCompatibleMaterialsDialog::getCurrentProcess() const {
    return current >= 0 ? &processes[std::size_t(current)] : nullptr;
}

void EditCompatibleMaterialsDialog::on_cbxProcess_currentIndexChanged(int index) {
    const uint32_t id = form->cbxProcess->itemData(index).toUInt();
    const auto found = std::find_if(
        processes.begin(), processes.end(),
        [id](const Model::Process::Process& process) { return process.getId() == id; });
    current = found != processes.end() ? int(found - processes.begin()) : -1;
    refresh();
}

void EditCompatibleMaterialsDialog::refresh() {
    const Model::Process::Process* process = getCurrentProcess();
    if (!process || process->getId() == 0)
        return;

    const std::vector<Material> compatible = process->getCompatibleMaterials();
    form->listCompatibleMaterials->clear();
    for (const Material& material : compatible)
        addMaterialItem(form->listCompatibleMaterials, material);

    form->listAvailableMaterials->clear();
    for (const Material& material :
         Model::Materials::MaterialFactory::getInstance()->getMaterials()) {
        const bool listed =
            std::any_of(compatible.begin(), compatible.end(), [&material](const Material& other) {
                return other.getId() == material.getId();
            });
        if (!listed)
            addMaterialItem(form->listAvailableMaterials, material);
    }
}

void EditCompatibleMaterialsDialog::on_btnInsert_clicked() {
    if (current >= 0) {
        for (const QListWidgetItem* item : form->listAvailableMaterials->selectedItems())
            processes[std::size_t(current)].addCompatibleMaterial(materialIdOf(item));
    }
    form->listAvailableMaterials->clearSelection();
    form->listCompatibleMaterials->clearSelection();
    refresh();
}

void EditCompatibleMaterialsDialog::on_btnRemove_clicked() {
    if (current >= 0) {
        for (const QListWidgetItem* item : form->listCompatibleMaterials->selectedItems())
            processes[std::size_t(current)].removeCompatibleMaterial(materialIdOf(item));
    }
    form->listAvailableMaterials->clearSelection();
    form->listCompatibleMaterials->clearSelection();
    refresh();
}

} // namespace Ui::Input
