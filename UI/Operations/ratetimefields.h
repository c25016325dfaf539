#pragma once

#include "Core/Operations/raterecipe.h"

#include <QWidget>

#include <map>
#include <optional>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;

namespace Ui::Operations {

// The rate × time alternative beside a dialog's thickness or depth: a switch, the rate in
// µm/min, the time in minutes and what they come to. For an etch it also shows, from the
// process's rate table, how far the other materials go in the same time.
class RateTimeFields : public QWidget {
    Q_OBJECT
public:
    // `processName` names the process whose rate table (if any) an etch uses; empty for a
    // deposition.
    RateTimeFields(const QString& processName, QWidget* parent = nullptr);

    bool byRate() const;
    // The recipe for a step on `materialId` when the switch is on: the table's other rates go
    // with it.
    std::optional<Core::Operations::RateRecipe> recipe(int materialId) const;
    // The material the step works on: its rate from the table becomes the rate shown.
    void setMaterial(int materialId);

signals:
    void byRateChanged(bool on);
    // What the rate and time come to, in µm, whenever it changes while the switch is on: the
    // greyed thickness or depth beside shows it instead of a value that no longer applies.
    void lengthChanged(double micrometres);

private:
    void refresh();

    std::map<std::uint32_t, double> table;
    bool etch = false;
    int material = 0;
    QCheckBox* chkByRate;
    QDoubleSpinBox* dbxRate;
    QDoubleSpinBox* dbxTime;
    QLabel* lblResult;
};

} // namespace Ui::Operations
