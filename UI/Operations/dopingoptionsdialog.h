#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class DopingOptionsBaseDialog;
}

namespace Ui::Operations {

// The doped material, one of those compatible with "Simple Doping", and the doping depth.
class DopingOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit DopingOptionsDialog(QWidget* parent = nullptr);
    ~DopingOptionsDialog() override;

    float depth() const;
    int dopedMaterialId() const;

private:
    std::unique_ptr<Ui::DopingOptionsBaseDialog> form;
};

} // namespace Ui::Operations
