#pragma once

#include "UI/lampset.h"

#include <QDialog>

#include <array>
#include <memory>

namespace Ui {

class ViewPropertiesForm;

// The camera and lamp values the view-properties dialog edits, as a copy of the view's.
struct ViewSettings {
    std::array<float, 3> translation{0.0f, 0.0f, 0.0f};
    std::array<float, 3> angles{0.0f, 0.0f, 0.0f};
    std::array<float, 2> viewOffset{0.0f, 0.0f};
    // Zoom in percent, as the status bar shows it.
    float zoomPercent = 100.0f;
    LampSet lamps;
};

// "Set vew and lighting": camera position, rotation, pan and zoom on the first page, the
// lamps on the second. It edits its own copy; the caller applies settings() on acceptance.
class ViewProperties : public QDialog {
    Q_OBJECT
public:
    explicit ViewProperties(QWidget* parent = nullptr);
    ~ViewProperties() override;

    void setSettings(const ViewSettings& settings);
    ViewSettings settings() const;
    // 0 is the view page, 1 the lighting page.
    void setCurrentPage(int page);
    int currentPage() const;
    // The lamp the lighting page shows, 1-based.
    int currentLamp() const;

public slots:
    void addLamp();
    void deleteLamp();
    void lampchanged(int index);
    void radiusChanged(double value);
    void angletetaChanged(double degrees);
    void anglefiChanged(double degrees);
    void visibleChanged(bool visible);

private:
    void refillLampList();
    void showLamp(int lamp);

    std::unique_ptr<Ui::ViewPropertiesForm> form;
    ViewSettings edited;
};

} // namespace Ui
