#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

namespace Ui {
class SaveCrossSectionDialogForm;
}

namespace Ui::Operations {

// The plane and the file of a "Save Cross-Section" step. OK stays disabled until a file is
// named.
class SaveCrossSectionDialog : public QDialog {
    Q_OBJECT
public:
    explicit SaveCrossSectionDialog(QWidget* parent = nullptr);
    ~SaveCrossSectionDialog() override;

    // The volume's length along x, y and z in micrometres: positions stay inside it.
    void setExtents(const std::array<double, 3>& micrometres);
    // Asked for a file name when Browse is pressed; an empty answer keeps the current one.
    void setFileChooser(std::function<QString()> chooser);

    // 0 for x, 1 for y, 2 for z.
    int axis() const;
    void setAxis(int axis);
    double position() const;
    void setPosition(double micrometres);
    // With ".png" added when it has no suffix.
    QString fileName() const;
    void setFileName(const QString& name);

private:
    void limitPosition();
    void updateOk();

    std::unique_ptr<Ui::SaveCrossSectionDialogForm> form;
    std::array<double, 3> extents{0, 0, 0};
    std::function<QString()> chooser;
};

} // namespace Ui::Operations
