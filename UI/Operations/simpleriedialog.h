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
    int materialId() const;
    bool etchFromBelow() const;
    bool etchFromTop() const;

    // The rate and time when the user chose them instead of the distance.
    std::optional<Core::Operations::RateRecipe> rate() const;

private:
    std::unique_ptr<Ui::SimpleRIEForm> form;
    RateTimeFields* rateFields;
};

} // namespace Ui::Operations
