#include "UI/viewproperties.h"

#include "ui_viewproperties.h"

#include <QSignalBlocker>
#include <QtMath>

#include <cmath>

namespace Ui {

namespace {

double toDegrees(float radians) {
    return radians * 180.0 / M_PI;
}
float toRadians(double degrees) {
    return float(degrees * M_PI / 180.0);
}

} // namespace

ViewProperties::ViewProperties(QWidget* parent)
    : QDialog(parent), form(std::make_unique<Ui::ViewPropertiesForm>()) {
    form->setupUi(this);
    connect(form->btnAddLamp, &QPushButton::clicked, this, &ViewProperties::addLamp);
    connect(form->btnDelete, &QPushButton::clicked, this, &ViewProperties::deleteLamp);
    connect(form->cbxLamp, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ViewProperties::lampchanged);
    connect(form->dbxRadius, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &ViewProperties::radiusChanged);
    connect(form->dbxAngleTheta, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &ViewProperties::angletetaChanged);
    connect(form->dbxAnglePhi, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &ViewProperties::anglefiChanged);
    connect(form->chkVisible, &QCheckBox::toggled, this, &ViewProperties::visibleChanged);
    setSettings(ViewSettings());
}

ViewProperties::~ViewProperties() = default;

void ViewProperties::setSettings(const ViewSettings& settings) {
    edited = settings;
    form->dbxDistanceX->setValue(settings.translation[0]);
    form->dbxDistanceY->setValue(settings.translation[1]);
    form->dbxDistanceZ->setValue(settings.translation[2]);
    form->dbxAngleX->setValue(settings.angles[0]);
    form->dbxAngleY->setValue(settings.angles[1]);
    form->dbxAngleZ->setValue(settings.angles[2]);
    form->dbxPositionX->setValue(settings.viewOffset[0]);
    form->dbxPositionY->setValue(settings.viewOffset[1]);
    form->dbxZoom->setValue(settings.zoomPercent);
    refillLampList();
    const int active = edited.lamps.isValid(edited.lamps.activeLamp) ? edited.lamps.activeLamp : 1;
    form->cbxLamp->setCurrentIndex(active - 1);
    showLamp(active);
}

ViewSettings ViewProperties::settings() const {
    ViewSettings result = edited;
    result.translation = {float(form->dbxDistanceX->value()), float(form->dbxDistanceY->value()),
                          float(form->dbxDistanceZ->value())};
    result.angles = {float(form->dbxAngleX->value()), float(form->dbxAngleY->value()),
                     float(form->dbxAngleZ->value())};
    result.viewOffset = {float(form->dbxPositionX->value()), float(form->dbxPositionY->value())};
    result.zoomPercent = float(form->dbxZoom->value());
    return result;
}

void ViewProperties::setCurrentPage(int page) {
    form->tabWidget->setCurrentIndex(page);
}

int ViewProperties::currentPage() const {
    return form->tabWidget->currentIndex();
}

int ViewProperties::currentLamp() const {
    return form->cbxLamp->currentIndex() + 1;
}

void ViewProperties::refillLampList() {
    const QSignalBlocker blocker(form->cbxLamp);
    form->cbxLamp->clear();
    for (int lamp = 1; lamp <= edited.lamps.count; ++lamp)
        form->cbxLamp->addItem(QStringLiteral("Lamp ") + QString::number(lamp));
    form->btnDelete->setEnabled(edited.lamps.count > 1);
    form->btnAddLamp->setEnabled(edited.lamps.count < LampSet::maxLamps);
}

void ViewProperties::showLamp(int lamp) {
    if (!edited.lamps.isValid(lamp))
        return;
    const std::size_t i = std::size_t(lamp - 1);
    const QSignalBlocker b1(form->dbxRadius);
    const QSignalBlocker b2(form->dbxAngleTheta);
    const QSignalBlocker b3(form->dbxAnglePhi);
    const QSignalBlocker b4(form->chkVisible);
    form->dbxRadius->setValue(edited.lamps.radius[i]);
    form->dbxAngleTheta->setValue(toDegrees(edited.lamps.azimuth[i]));
    form->dbxAnglePhi->setValue(toDegrees(edited.lamps.elevation[i]));
    form->chkVisible->setChecked(edited.lamps.visible[i]);
}

void ViewProperties::addLamp() {
    if (!edited.lamps.addLamp())
        return;
    refillLampList();
    form->cbxLamp->setCurrentIndex(edited.lamps.count - 1);
    showLamp(edited.lamps.count);
}

void ViewProperties::deleteLamp() {
    const int lamp = currentLamp();
    if (!edited.lamps.removeLamp(lamp))
        return;
    refillLampList();
    const int shown = std::min(lamp, edited.lamps.count);
    form->cbxLamp->setCurrentIndex(shown - 1);
    showLamp(shown);
}

void ViewProperties::lampchanged(int index) {
    showLamp(index + 1);
}

void ViewProperties::radiusChanged(double value) {
    edited.lamps.setRadius(currentLamp(), float(value));
}

void ViewProperties::angletetaChanged(double degrees) {
    const int lamp = currentLamp();
    if (edited.lamps.isValid(lamp))
        edited.lamps.setAngles(lamp, toRadians(degrees), edited.lamps.elevation[lamp - 1]);
}

void ViewProperties::anglefiChanged(double degrees) {
    const int lamp = currentLamp();
    if (edited.lamps.isValid(lamp))
        edited.lamps.setAngles(lamp, edited.lamps.azimuth[lamp - 1], toRadians(degrees));
}

void ViewProperties::visibleChanged(bool visible) {
    const int lamp = currentLamp();
    if (edited.lamps.isValid(lamp))
        edited.lamps.visible[std::size_t(lamp - 1)] = visible;
}

} // namespace Ui
