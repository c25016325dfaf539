#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class IsotropicEtchingForm;
}

namespace Ui::Operations {

// Etch depth and one of the materials compatible with "Isotropic Etching".
class IsotropicEtchingDialog : public QDialog {
    Q_OBJECT
public:
    explicit IsotropicEtchingDialog(QWidget* parent = nullptr);
    ~IsotropicEtchingDialog() override;

    float depth() const;
    int materialId() const;

private:
    std::unique_ptr<Ui::IsotropicEtchingForm> form;
};

} // namespace Ui::Operations
