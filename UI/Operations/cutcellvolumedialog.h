#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QSlider;
class QSpinBox;

namespace Ui {
class CutCellVolumeBaseDialog;
}

namespace Ui::Operations {

// "Cut Cell Volume": the box of cells shown, lower <= coordinate < upper per axis. A lower
// limit raised to its upper one pushes the upper one along, and the other way round, so the
// box never becomes empty. With Preview checked every change is shown at once.
class CutCellVolumeDialog : public QDialog {
    Q_OBJECT
public:
    using Corner = std::array<int, 3>;
    using PreviewHandler = std::function<void(const Corner& lower, const Corner& upper)>;

    CutCellVolumeDialog(const Corner& lower, const Corner& upper, const Corner& size,
                        QWidget* parent = nullptr);
    ~CutCellVolumeDialog() override;

    void setPreviewHandler(PreviewHandler handler) { previewHandler = std::move(handler); }
    Corner lowerLimits() const;
    Corner upperLimits() const;

private slots:
    void on_sbxXLowerLimit_valueChanged(int newValue);
    void on_sbxYLowerLimit_valueChanged(int newValue);
    void on_sbxZLowerLimit_valueChanged(int newValue);
    void on_sbxXUpperLimit_valueChanged(int newValue);
    void on_sbxYUpperLimit_valueChanged(int newValue);
    void on_sbxZUpperLimit_valueChanged(int newValue);
    void on_btnReset_clicked();
    void on_chkPreview_toggled(bool checked);

private:
    void lowerChanged(int axis, int newValue);
    void upperChanged(int axis, int newValue);
    void preview();

    std::unique_ptr<Ui::CutCellVolumeBaseDialog> form;
    Corner size;
    std::array<QSpinBox*, 3> lower{};
    std::array<QSpinBox*, 3> upper{};
    PreviewHandler previewHandler;
    // A change that pushes the other limit of its axis shows one preview, not two.
    int changesUnderway = 0;
};

} // namespace Ui::Operations
