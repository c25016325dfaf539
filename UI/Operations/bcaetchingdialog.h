#pragma once

#include "Core/Operations/SiEtching/kohrecipe.h"
#include "Core/Operations/SiEtching/siwetetchoperation.h"

#include <QDialog>

#include <functional>

#include <memory>
#include <optional>

namespace Ui {
class BCAEtchingBaseDialog;
}

namespace Ui::Operations {

// The etch depth of either silicon wet etch, in lattice constants, or a KOH recipe whose
// (100) depth the dialog shows before OK; and what lies beyond the volume's sides.
class BCAEtchingDialog : public QDialog {
    Q_OBJECT
public:
    explicit BCAEtchingDialog(QWidget* parent = nullptr);
    ~BCAEtchingDialog() override;

    double depth() const;
    void setDepth(double value);
    // The recipe when the user chose to etch by one.
    std::optional<Core::Operations::KohRecipe> recipe() const;
    void setRecipe(const Core::Operations::KohRecipe& value);
    bool periodicSides() const;
    Core::Operations::EtchSide etchSide() const;
    void setEtchSide(Core::Operations::EtchSide value);

    // Shows the dialog modally for a wet etch: OK passes the depth on and runs the etch,
    // Cancel cancels it.
    static void runFor(const std::shared_ptr<Core::Operations::SiWetEtchOperation>& operation,
                       QWidget* parent, const std::function<int(QDialog&)>& show = {});

private:
    Core::Operations::KohRecipe recipeShown() const;
    void showRecipe();

    std::unique_ptr<Ui::BCAEtchingBaseDialog> form;
};

} // namespace Ui::Operations
