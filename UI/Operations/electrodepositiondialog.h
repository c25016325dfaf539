#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ElectrodepositionForm;
}

namespace Ui::Operations {

// Film thickness, the plated material and the conducting material it grows from.
class ElectrodepositionDialog : public QDialog {
    Q_OBJECT
public:
    explicit ElectrodepositionDialog(QWidget* parent = nullptr);
    ~ElectrodepositionDialog() override;

    float thickness() const;
    int materialId() const;
    int conductingMaterialId() const;

private:
    std::unique_ptr<Ui::ElectrodepositionForm> form;
};

} // namespace Ui::Operations
