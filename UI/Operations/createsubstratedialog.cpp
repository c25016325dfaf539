#include "UI/Operations/createsubstratedialog.h"

#include "UI/Operations/materialcombobox.h"
#include "ui_createsubstratedialog.h"

namespace Ui::Operations {

CreateSubstrateDialog::CreateSubstrateDialog(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::CreateSubstrateDialogForm>()) {
    form->setupUi(this);
    setWindowTitle(QStringLiteral("Create Substrate"));
    resize(389, 579);

    connect(form->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(form->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(form->sbxTotalWidth, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateLimitX);
    connect(form->sbxTotalLength, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateLimitY);
    connect(form->sbxTotalHeight, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateLimitZ);
    connect(form->sbxSubsWidth, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateSubstrateDispX);
    connect(form->sbxSubsLength, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateSubstrateDispY);
    connect(form->sbxSubsHeight, qOverload<int>(&QSpinBox::valueChanged), this,
            &CreateSubstrateDialog::updateSubstrateDispZ);
    connect(form->cbxSubsSphere, &QCheckBox::toggled, this,
            &CreateSubstrateDialog::toggleSubsShape);
    for (QSpinBox* count : {form->sbxTotalWidth, form->sbxTotalLength, form->sbxTotalHeight})
        connect(count, qOverload<int>(&QSpinBox::valueChanged), this,
                &CreateSubstrateDialog::updateVolumeExtent);
    for (QDoubleSpinBox* edge : {form->dblCellSizeX, form->dblCellSizeY, form->dblCellSizeZ})
        connect(edge, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &CreateSubstrateDialog::updateVolumeExtent);

    // Start with limits that already agree with the default volume, not only after the
    // first edit.
    updateLimitX(form->sbxTotalWidth->value());
    updateLimitY(form->sbxTotalLength->value());
    updateLimitZ(form->sbxTotalHeight->value());
    toggleSubsShape(form->cbxSubsSphere->isChecked());
    updateVolumeExtent();

    // Sizes and positions are counts of cells; each says so and what it comes to in µm along
    // its axis, as the cell sizes above make it.
    const std::pair<QSpinBox*, QDoubleSpinBox*> counts[] = {
        {form->sbxTotalWidth, form->dblCellSizeX},  {form->sbxTotalLength, form->dblCellSizeY},
        {form->sbxTotalHeight, form->dblCellSizeZ}, {form->sbxSubsWidth, form->dblCellSizeX},
        {form->sbxSubsLength, form->dblCellSizeY},  {form->sbxSubsHeight, form->dblCellSizeZ},
        {form->sbxSubsX, form->dblCellSizeX},       {form->sbxSubsY, form->dblCellSizeY},
        {form->sbxSubsZ, form->dblCellSizeZ},       {form->sbxSubsCenterX, form->dblCellSizeX},
        {form->sbxSubsCenterY, form->dblCellSizeY}, {form->sbxSubsCenterZ, form->dblCellSizeZ},
        {form->sbxSubsRadius, form->dblCellSizeX},
    };
    for (const auto& [count, edge] : counts) {
        const auto label = [count = count, edge = edge] {
            count->setSuffix(QStringLiteral(" cells = %1 µm")
                                 .arg(QString::number(count->value() * edge->value(), 'g', 6)));
        };
        connect(count, qOverload<int>(&QSpinBox::valueChanged), this, label);
        connect(edge, qOverload<double>(&QDoubleSpinBox::valueChanged), this, label);
        label();
    }
}

double CreateSubstrateDialog::cellSizeX() const {
    return form->dblCellSizeX->value();
}
double CreateSubstrateDialog::cellSizeY() const {
    return form->dblCellSizeY->value();
}
double CreateSubstrateDialog::cellSizeZ() const {
    return form->dblCellSizeZ->value();
}

void CreateSubstrateDialog::updateVolumeExtent() {
    const auto extent = [](int cells, double edge) {
        return QString::number(cells * edge, 'g', 6);
    };
    form->lblTotalMicrometres->setText(QStringLiteral("Volume: %1 × %2 × %3 µm")
                                           .arg(extent(totalSizeX(), cellSizeX()),
                                                extent(totalSizeY(), cellSizeY()),
                                                extent(totalSizeZ(), cellSizeZ())));
}

CreateSubstrateDialog::~CreateSubstrateDialog() = default;

void CreateSubstrateDialog::setMaterials(const std::vector<Model::Materials::Material>& materials) {
    form->cbxFilm->clear();
    fillMaterialCombo(form->cbxFilm, materials);
    form->cbxFilm->setCurrentIndex(materials.empty() ? -1 : 0);
}

int CreateSubstrateDialog::materialId() const {
    return selectedMaterialId(form->cbxFilm);
}
int CreateSubstrateDialog::totalSizeX() const {
    return form->sbxTotalWidth->value();
}
int CreateSubstrateDialog::totalSizeY() const {
    return form->sbxTotalLength->value();
}
int CreateSubstrateDialog::totalSizeZ() const {
    return form->sbxTotalHeight->value();
}
bool CreateSubstrateDialog::isSpherical() const {
    return form->cbxSubsSphere->isChecked();
}
int CreateSubstrateDialog::substrateSizeX() const {
    return form->sbxSubsWidth->value();
}
int CreateSubstrateDialog::substrateSizeY() const {
    return form->sbxSubsLength->value();
}
int CreateSubstrateDialog::substrateSizeZ() const {
    return form->sbxSubsHeight->value();
}
int CreateSubstrateDialog::substrateCornerX() const {
    return form->sbxSubsX->value();
}
int CreateSubstrateDialog::substrateCornerY() const {
    return form->sbxSubsY->value();
}
int CreateSubstrateDialog::substrateCornerZ() const {
    return form->sbxSubsZ->value();
}
int CreateSubstrateDialog::centerX() const {
    return form->sbxSubsCenterX->value();
}
int CreateSubstrateDialog::centerY() const {
    return form->sbxSubsCenterY->value();
}
int CreateSubstrateDialog::centerZ() const {
    return form->sbxSubsCenterZ->value();
}
int CreateSubstrateDialog::radius() const {
    return form->sbxSubsRadius->value();
}

Model::Automaton::CrystalOrientation CreateSubstrateDialog::crystalOrientation() const {
    auto orientation = Model::Automaton::CrystalOrientation::Surface100;
    Model::Automaton::crystalOrientationFromName(form->cbxCrystalOrientation->currentText(),
                                                 orientation);
    return orientation;
}

void CreateSubstrateDialog::setCrystalOrientation(Model::Automaton::CrystalOrientation value) {
    form->cbxCrystalOrientation->setCurrentText(
        QStringLiteral("(%1)").arg(Model::Automaton::crystalOrientationName(value)));
}

Util::Vector3D CreateSubstrateDialog::position() const {
    return Util::Vector3D(form->dblVolumeX->value(), form->dblVolumeY->value(),
                          form->dblVolumeZ->value());
}

void CreateSubstrateDialog::updateLimitX(int newValue) {
    form->sbxSubsWidth->setMaximum(newValue);
    form->sbxSubsWidth->setValue(newValue);
    form->sbxSubsX->setMaximum(0);
    form->sbxSubsCenterX->setMaximum(newValue - 1);
}

void CreateSubstrateDialog::updateLimitY(int newValue) {
    form->sbxSubsLength->setMaximum(newValue);
    form->sbxSubsLength->setValue(newValue);
    form->sbxSubsY->setMaximum(0);
    form->sbxSubsCenterY->setMaximum(newValue - 1);
}

void CreateSubstrateDialog::updateLimitZ(int newValue) {
    form->sbxSubsHeight->setMaximum(newValue);
    form->sbxSubsZ->setMaximum(newValue - form->sbxSubsHeight->value());
    form->sbxSubsCenterZ->setMaximum(newValue - 1);
}

void CreateSubstrateDialog::updateSubstrateDispX(int newValue) {
    form->sbxSubsX->setMaximum(form->sbxTotalWidth->value() - newValue);
}

void CreateSubstrateDialog::updateSubstrateDispY(int newValue) {
    form->sbxSubsY->setMaximum(form->sbxTotalLength->value() - newValue);
}

void CreateSubstrateDialog::updateSubstrateDispZ(int newValue) {
    form->sbxSubsZ->setMaximum(form->sbxTotalHeight->value() - newValue);
}

void CreateSubstrateDialog::toggleSubsShape(bool checked) {
    const std::initializer_list<QWidget*> cuboid = {
        form->lblSubsSize,   form->lblSubsWidth,  form->sbxSubsWidth,  form->lblSubsLength,
        form->sbxSubsLength, form->lblSubsHeight, form->sbxSubsHeight, form->lblSubsCorner,
        form->lblSubsX,      form->sbxSubsX,      form->lblSubsY,      form->sbxSubsY,
        form->lblSubsZ,      form->sbxSubsZ};
    const std::initializer_list<QWidget*> sphere = {
        form->lblSubsCenterX, form->sbxSubsCenterX, form->lblSubsCenterY, form->sbxSubsCenterY,
        form->lblSubsCenterZ, form->sbxSubsCenterZ, form->lblSubsRadius,  form->sbxSubsRadius};
    for (QWidget* widget : cuboid)
        widget->setEnabled(!checked);
    for (QWidget* widget : sphere)
        widget->setEnabled(checked);
}

} // namespace Ui::Operations
