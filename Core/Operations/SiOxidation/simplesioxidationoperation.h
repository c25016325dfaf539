#pragma once

#include "Core/Operations/Undo/snapshotprocessoperation.h"

#include <optional>

namespace Core::Operations {

// Menu action "Si Oxidation": oxide of a given thickness in microns, or grown for a time at a
// temperature and pressure, converted to cell units.
class SimpleSiOxidationOperation : public SnapshotProcessOperation {
public:
    explicit SimpleSiOxidationOperation(OperationContext& context);

    // In the order the dialog observer calls them. Without a conversion the volume's own
    // (scene units per µm of its document's scale) is used.
    void setMicronConversion(double value) { conversion = value; }
    void setOxidationTime(double hours) { time = hours; }
    void setOxidationPressure(double atm) { pressure = atm; }
    void setOxidationTemperature(double kelvin) { temperature = kelvin; }
    void setOxideThickness(double microns) { thickness = microns; }

    // What an oxidation is asked to do: grow for a time at a temperature and pressure when a
    // time is given, otherwise to a thickness in microns.
    struct Recipe {
        double cellUnitsPerMicron = 1.0;
        std::optional<double> time;
        double temperature = 0;
        double pressure = 0;
        std::optional<double> thickness;
    };
    // The checks and the run, for this operation and for a process-list step alike.
    static QString refusalFor(const Recipe& recipe);
    // Scene units per µm of the volume: what a thickness in µm is in the lengths the engine
    // measures.
    static double cellUnitsPerMicronOf(const Model::Automaton::TotalVolume& volume);
    static void run(Model::Automaton::TotalVolume& volume, const Recipe& recipe,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());

protected:
    // A time, when given, takes precedence over a thickness.
    bool isReady() const override { return time || thickness; }
    // With no volume selected, the only object of the document when it is a cell volume.
    std::shared_ptr<Model::Automaton::TotalVolume> unselectedVolume() const override;
    QString refusal() const override;
    void runEngine(Model::Automaton::TotalVolume& volume,
                   Util::ProgressReporter& progress) override;
    bool changesSilicon() const override { return true; }

private:
    Recipe recipe() const;

    std::optional<double> thickness;
    std::optional<double> time;
    double temperature = 0;
    double pressure = 0;
    std::optional<double> conversion;
};

} // namespace Core::Operations
