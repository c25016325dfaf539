#pragma once

#include "Core/Operations/raterecipe.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class IsotropicDepositionForm;
}

namespace Ui::Operations {

class RateTimeFields;

// Film thickness and one of the materials compatible with "CVD".
class IsotropicDepositionDialog : public QDialog {
    Q_OBJECT
public:
    explicit IsotropicDepositionDialog(QWidget* parent = nullptr);
    ~IsotropicDepositionDialog() override;

    float thickness() const;
    int materialId() const;

    // The rate and time when the user chose them instead of the distance.
    std::optional<Core::Operations::RateRecipe> rate() const;

private:
    std::unique_ptr<Ui::IsotropicDepositionForm> form;
    RateTimeFields* rateFields;
};

} // namespace Ui::Operations
