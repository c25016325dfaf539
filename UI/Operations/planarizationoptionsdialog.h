#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class PlanarizationOptionsBaseDialog;
}

namespace Ui::Operations {

// The two heights between which planarization keeps the volume. The minimum can never be set
// above the maximum.
class PlanarizationOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit PlanarizationOptionsDialog(QWidget* parent = nullptr);
    ~PlanarizationOptionsDialog() override;

    // Neither height may exceed the volume's height, and the maximum starts there.
    void limitToVolumeHeight(int sizeZ);
    int maximumHeight() const;
    int minimumHeight() const;

public slots:
    void updateMinimumLimits(int maximumHeight);

private:
    std::unique_ptr<Ui::PlanarizationOptionsBaseDialog> form;
};

} // namespace Ui::Operations
