#pragma once

#include "Core/Operations/Flux/boschdrie.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace Ui::Operations {

// The recipe of "Bosch DRIE": the etched material, the cycles, per cycle the passivation film's
// thickness and the etch's depth on the open field (or each as a rate and a time), the
// isotropy, whether the last film is stripped, periodic sides and the rays per surface cell.
class BoschDrieDialog : public QDialog {
    Q_OBJECT
public:
    explicit BoschDrieDialog(QWidget* parent = nullptr);

    Core::Operations::BoschRecipe recipe() const;
    // Whether the depths were given as rates and times.
    bool byRate() const;
    double etchRate() const;
    double etchTime() const;
    double passivationRate() const;
    double passivationTime() const;

private:
    void showDepths();

    QComboBox* material;
    QSpinBox* cycles;
    QCheckBox* byRateBox;
    QDoubleSpinBox* etchDepth;
    QDoubleSpinBox* passivation;
    QDoubleSpinBox* etchRateBox;
    QDoubleSpinBox* etchTimeBox;
    QDoubleSpinBox* passivationRateBox;
    QDoubleSpinBox* passivationTimeBox;
    QLabel* comesTo;
    QDoubleSpinBox* isotropy;
    QCheckBox* strip;
    QCheckBox* periodic;
    QSpinBox* rays;
};

} // namespace Ui::Operations
