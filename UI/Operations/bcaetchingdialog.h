#pragma once

#include "Core/Operations/SiEtching/siwetetchoperation.h"

#include <QDialog>

#include <memory>

namespace Ui {
class BCAEtchingBaseDialog;
}

namespace Ui::Operations {

// The etch depth of either silicon wet etch, in lattice constants.
class BCAEtchingDialog : public QDialog {
    Q_OBJECT
public:
    explicit BCAEtchingDialog(QWidget* parent = nullptr);
    ~BCAEtchingDialog() override;

    double depth() const;
    void setDepth(double value);

    // Shows the dialog modally for a wet etch: OK passes the depth on and runs the etch,
    // Cancel cancels it.
    static void runFor(const std::shared_ptr<Core::Operations::SiWetEtchOperation>& operation,
                       QWidget* parent);

private:
    std::unique_ptr<Ui::BCAEtchingBaseDialog> form;
};

} // namespace Ui::Operations
