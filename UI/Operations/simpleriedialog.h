#pragma once

#include "Core/Operations/raterecipe.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class SimpleRIEForm;
}

namespace Ui::Operations {

class RateTimeFields;

// Depth in cell layers, the etched material and from which sides it is etched.
class SimpleRIEDialog : public QDialog {
    Q_OBJECT
public:
    explicit SimpleRIEDialog(QWidget* parent = nullptr);
    ~SimpleRIEDialog() override;

    int depth() const;
    // The volume's cell height in µm: the depth is offered in µm beside its cells. Without it
    // (no volume yet) only cells are offered.
    void setCellHeight(double micrometres);
    int materialId() const;
    bool etchFromBelow() const;
    bool etchFromTop() const;

    // The rate and time when the user chose them instead of the distance.
    std::optional<Core::Operations::RateRecipe> rate() const;

private:
    std::unique_ptr<Ui::SimpleRIEForm> form;
    void showMicrometres();

    RateTimeFields* rateFields;
    double cellHeight = 0.0;
};

} // namespace Ui::Operations
