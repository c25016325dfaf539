#pragma once

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class DopingOptionsBaseDialog;
}

namespace Ui::Operations {

// The doped material, one of those compatible with "Simple Doping", the doping depth and,
// when checked, the dopant concentration in cm⁻³ (OK stays off while it cannot be used).
class DopingOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit DopingOptionsDialog(QWidget* parent = nullptr);
    ~DopingOptionsDialog() override;

    float depth() const;
    int dopedMaterialId() const;
    std::optional<double> concentration() const;

private:
    void checkConcentration();

    std::unique_ptr<Ui::DopingOptionsBaseDialog> form;
};

} // namespace Ui::Operations
