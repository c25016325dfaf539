#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ChangeGridSpacingDialogForm;
}

namespace Ui::Input {

// Asks for the spacing of the view's ground grid.
class ChangeGridSpacingDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChangeGridSpacingDialog(double spacing, QWidget* parent = nullptr);
    ~ChangeGridSpacingDialog() override;

    double spacing() const;
    void setSpacing(double value);

private:
    std::unique_ptr<Ui::ChangeGridSpacingDialogForm> form;
};

} // namespace Ui::Input
