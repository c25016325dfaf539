#include "UI/Operations/cutcellvolumedialog.h"

#include "ui_cutcellvolumedialog.h"

#include <QSignalBlocker>

namespace Ui::Operations {

namespace {

// Spin box and slider show one value and follow each other.
void pair(QSpinBox* box, QSlider* slider, int minimum, int maximum, int value) {
    const QSignalBlocker boxBlocker(box);
    const QSignalBlocker sliderBlocker(slider);
    box->setRange(minimum, maximum);
    slider->setRange(minimum, maximum);
    box->setValue(value);
    slider->setValue(value);
    QObject::connect(box, qOverload<int>(&QSpinBox::valueChanged), slider, &QSlider::setValue);
    QObject::connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
}

} // namespace

CutCellVolumeDialog::CutCellVolumeDialog(const Corner& lowerLimit, const Corner& upperLimit,
                                         const Corner& volumeSize, QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::CutCellVolumeBaseDialog>()), size(volumeSize) {
    form->setupUi(this);
    lower = {form->sbxXLowerLimit, form->sbxYLowerLimit, form->sbxZLowerLimit};
    upper = {form->sbxXUpperLimit, form->sbxYUpperLimit, form->sbxZUpperLimit};
    const std::array<QSlider*, 3> lowerSliders{form->sldXLowerLimit, form->sldYLowerLimit,
                                               form->sldZLowerLimit};
    const std::array<QSlider*, 3> upperSliders{form->sldXUpperLimit, form->sldYUpperLimit,
                                               form->sldZUpperLimit};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const int extent = std::max(1, size[axis]);
        pair(lower[axis], lowerSliders[axis], 0, extent - 1, lowerLimit[axis]);
        pair(upper[axis], upperSliders[axis], 1, extent, upperLimit[axis]);
    }
}

CutCellVolumeDialog::~CutCellVolumeDialog() = default;

CutCellVolumeDialog::Corner CutCellVolumeDialog::lowerLimits() const {
    return {lower[0]->value(), lower[1]->value(), lower[2]->value()};
}

CutCellVolumeDialog::Corner CutCellVolumeDialog::upperLimits() const {
    return {upper[0]->value(), upper[1]->value(), upper[2]->value()};
}

void CutCellVolumeDialog::lowerChanged(int axis, int newValue) {
    ++changesUnderway;
    if (newValue >= upper[std::size_t(axis)]->value())
        upper[std::size_t(axis)]->setValue(newValue + 1);
    --changesUnderway;
    preview();
}

void CutCellVolumeDialog::upperChanged(int axis, int newValue) {
    ++changesUnderway;
    if (lower[std::size_t(axis)]->value() >= newValue)
        lower[std::size_t(axis)]->setValue(newValue - 1);
    --changesUnderway;
    preview();
}

void CutCellVolumeDialog::on_sbxXLowerLimit_valueChanged(int newValue) {
    lowerChanged(0, newValue);
}
void CutCellVolumeDialog::on_sbxYLowerLimit_valueChanged(int newValue) {
    lowerChanged(1, newValue);
}
void CutCellVolumeDialog::on_sbxZLowerLimit_valueChanged(int newValue) {
    lowerChanged(2, newValue);
}
void CutCellVolumeDialog::on_sbxXUpperLimit_valueChanged(int newValue) {
    upperChanged(0, newValue);
}
void CutCellVolumeDialog::on_sbxYUpperLimit_valueChanged(int newValue) {
    upperChanged(1, newValue);
}
void CutCellVolumeDialog::on_sbxZUpperLimit_valueChanged(int newValue) {
    upperChanged(2, newValue);
}

void CutCellVolumeDialog::on_btnReset_clicked() {
    ++changesUnderway;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        lower[axis]->setValue(0);
        upper[axis]->setValue(size[axis]);
    }
    --changesUnderway;
    preview();
}

void CutCellVolumeDialog::on_chkPreview_toggled(bool checked) {
    if (checked)
        preview();
}

void CutCellVolumeDialog::preview() {
    if (changesUnderway > 0 || !form->chkPreview->isChecked() || !previewHandler)
        return;
    previewHandler(lowerLimits(), upperLimits());
}

} // namespace Ui::Operations
