#pragma once

#include "Core/Operations/Flux/fluxsurfaceadvance.h"

#include <QDialog>

#include <memory>

namespace Ui {
class FluxStepForm;
}

namespace Ui::Operations {

class RateTimeFields;

// The recipe of "Flux Etching" (material, rate and time with the other materials' rates, ion
// exponent, neutral sticking, ion share) or "Flux Deposition" (material, thickness or rate and
// time, source exponent, sticking), with the rays per surface cell and periodic sides.
class FluxStepDialog : public QDialog {
    Q_OBJECT
public:
    FluxStepDialog(Core::Operations::FluxStepRecipe::Kind kind, QWidget* parent = nullptr);
    ~FluxStepDialog() override;

    Core::Operations::FluxStepRecipe recipe() const;
    // Whether the deposition was given by rate and time rather than by thickness.
    bool byRate() const;

private:
    Core::Operations::FluxStepRecipe::Kind kind;
    std::unique_ptr<Ui::FluxStepForm> form;
    RateTimeFields* rateFields;
};

} // namespace Ui::Operations
