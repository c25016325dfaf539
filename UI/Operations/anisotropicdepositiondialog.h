#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AnisotropicDepositionBaseDialog;
}

namespace Ui::Operations {

// Film material (compatible with the named process), thickness, horizontal-to-vertical ratio
// and the faces the film starts on.
class AnisotropicDepositionDialog : public QDialog {
    Q_OBJECT
public:
    explicit AnisotropicDepositionDialog(const QString& processName, QWidget* parent = nullptr);
    ~AnisotropicDepositionDialog() override;

    float thickness() const;
    int materialId() const;
    float horizontalRatio() const;
    // 1 on top, 2 on bottom, 3 on both sides.
    int depositOnMode() const;

private:
    std::unique_ptr<Ui::AnisotropicDepositionBaseDialog> form;
};

} // namespace Ui::Operations
