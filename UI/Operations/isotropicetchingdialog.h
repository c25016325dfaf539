#pragma once

#include "Core/Operations/raterecipe.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class IsotropicEtchingForm;
}

namespace Ui::Operations {

class RateTimeFields;

// Etch depth and one of the materials compatible with "Isotropic Etching".
class IsotropicEtchingDialog : public QDialog {
    Q_OBJECT
public:
    explicit IsotropicEtchingDialog(QWidget* parent = nullptr);
    ~IsotropicEtchingDialog() override;

    float depth() const;
    int materialId() const;

    // The rate and time when the user chose them instead of the distance.
    std::optional<Core::Operations::RateRecipe> rate() const;

private:
    std::unique_ptr<Ui::IsotropicEtchingForm> form;
    RateTimeFields* rateFields;
};

} // namespace Ui::Operations
