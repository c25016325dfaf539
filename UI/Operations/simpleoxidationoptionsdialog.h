#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SimpleOxidationOptionsBaseDialog;
}

namespace Ui::Operations {

// Either an oxide thickness in µm or an oxidation time, temperature and pressure, and the
// number of cell units per micron. The radio buttons enable the spin boxes of their mode.
class SimpleOxidationOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SimpleOxidationOptionsDialog(QWidget* parent = nullptr);
    ~SimpleOxidationOptionsDialog() override;

    bool isTimeMode() const;
    double oxideThickness() const;
    double oxidationTime() const;
    double temperature() const;
    double pressure() const;
    double micronConversion() const;
    // The conversion the dialog starts with: the volume's own.
    void setMicronConversion(double cellUnitsPerMicron);

private:
    void enableModeWidgets();

    std::unique_ptr<Ui::SimpleOxidationOptionsBaseDialog> form;
};

} // namespace Ui::Operations
