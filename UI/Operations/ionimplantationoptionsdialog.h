#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class IonImplantationOptionsBaseDialog;
}

namespace Ui::Operations {

// The doped material, one of those compatible with "Ion Implantation", the implantation depth
// and the annealing distance.
class IonImplantationOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit IonImplantationOptionsDialog(QWidget* parent = nullptr);
    ~IonImplantationOptionsDialog() override;

    float implantationDepth() const;
    float annealingDistance() const;
    int dopedMaterialId() const;

private:
    std::unique_ptr<Ui::IonImplantationOptionsBaseDialog> form;
};

} // namespace Ui::Operations
