#pragma once

#include "Model/Materials/material.h"

#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class ManageMaterialsBaseDialog;
}

namespace Ui::Input {

class ColorItemDelegate;
class MaterialTableViewItem;

// "Manage Materials": renames, recolours and edits the constants (density, Young modulus,
// Poisson ratio) of the registered materials and adds new ones, on copies; the caller applies
// getMaterials() to the registry, and saves it, when the dialog is accepted.
class ManageMaterialsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ManageMaterialsDialog(QWidget* parent = nullptr);
    ~ManageMaterialsDialog() override;

    MaterialTableViewItem* getModel() const { return model; }
    // Every row of the table, added materials included.
    const std::vector<Model::Materials::Material>& getMaterials() const;

private slots:
    void on_btnAddMaterial_clicked();

private:
    std::unique_ptr<Ui::ManageMaterialsBaseDialog> form;
    MaterialTableViewItem* model = nullptr;
    ColorItemDelegate* colorDelegate = nullptr;
};

} // namespace Ui::Input
