#pragma once

#include "Core/Operations/snapshotprocessoperation.h"

namespace Core::Operations {

// Menu action "Si Oxidation": oxide of a given thickness in microns, or grown for a time at a
// temperature and pressure, converted to cell units.
class SimpleSiOxidationOperation : public SnapshotProcessOperation {
public:
    explicit SimpleSiOxidationOperation(OperationContext& context);

    // In the order the dialog observer calls them.
    void setMicronConversion(double value) {
        conversion = value;
        conversionGiven = true;
    }
    void setOxidationTime(double hours) {
        time = hours;
        timeGiven = true;
    }
    void setOxidationPressure(double atm) { pressure = atm; }
    void setOxidationTemperature(double kelvin) { temperature = kelvin; }
    void setOxideThickness(double microns) {
        thickness = microns;
        thicknessGiven = true;
    }

protected:
    bool isReady() const override { return timeGiven || thicknessGiven; }
    // With no volume selected, the only object of the document when it is a cell volume.
    std::shared_ptr<Model::Automaton::TotalVolume> unselectedVolume() const override;
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume) override;
    bool changesSilicon() const override { return true; }

private:
    double cellUnitsPerMicron() const { return conversionGiven ? conversion : 1.0; }

    double thickness = 0;
    double time = 0;
    double temperature = 0;
    double pressure = 0;
    double conversion = 1;
    bool timeGiven = false;
    bool thicknessGiven = false;
    bool conversionGiven = false;
};

} // namespace Core::Operations
