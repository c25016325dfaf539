#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SpinCoatingOptionsBaseDialog;
}

namespace Ui::Operations {

// "Pour Material": any registered material and the height up to which it fills.
class SpinCoatingOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SpinCoatingOptionsDialog(QWidget* parent = nullptr);
    ~SpinCoatingOptionsDialog() override;

    void limitToVolumeHeight(int sizeZ);
    int materialId() const;
    int depositionHeight() const;

private:
    std::unique_ptr<Ui::SpinCoatingOptionsBaseDialog> form;
};

} // namespace Ui::Operations
