#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class IsotropicDepositionForm;
}

namespace Ui::Operations {

// Film thickness and one of the materials compatible with "CVD".
class IsotropicDepositionDialog : public QDialog {
    Q_OBJECT
public:
    explicit IsotropicDepositionDialog(QWidget* parent = nullptr);
    ~IsotropicDepositionDialog() override;

    float thickness() const;
    int materialId() const;

private:
    std::unique_ptr<Ui::IsotropicDepositionForm> form;
};

} // namespace Ui::Operations
