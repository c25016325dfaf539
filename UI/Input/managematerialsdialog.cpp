#include "UI/Input/managematerialsdialog.h"

#include "Model/Materials/materialfactory.h"
#include "UI/Input/coloritemdelegate.h"
#include "UI/Input/materialtableviewitem.h"
#include "ui_managematerialsdialog.h"

#include <QHeaderView>

namespace Ui::Input {

ManageMaterialsDialog::ManageMaterialsDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ManageMaterialsBaseDialog>()) {
    form->setupUi(this);
    model = new MaterialTableViewItem(
        Model::Materials::MaterialFactory::getInstance()->getMaterials(), this);
    colorDelegate = new ColorItemDelegate(this);
    form->tvwMaterials->setModel(model);
    form->tvwMaterials->setItemDelegateForColumn(MaterialTableViewItem::ColorColumn, colorDelegate);
    form->tvwMaterials->horizontalHeader()->setSectionResizeMode(MaterialTableViewItem::NameColumn,
                                                                 QHeaderView::Stretch);
}

ManageMaterialsDialog::~ManageMaterialsDialog() = default;

const std::vector<Model::Materials::Material>& ManageMaterialsDialog::getMaterials() const {
    return model->getMaterials();
}

void ManageMaterialsDialog::on_btnAddMaterial_clicked() {
    const int row = model->rowCount();
    model->insertRows(row, 1);
    form->tvwMaterials->scrollToBottom();
}

} // namespace Ui::Input
