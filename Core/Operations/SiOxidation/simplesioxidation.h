#pragma once

#include "Core/Operations/materialset.h"
#include "Model/Automaton/totalvolume.h"

#include "Util/progressreporter.h"
#include <cstdint>

namespace Core::Operations {

// The oxide thickness the linear-parabolic (Deal-Grove) law gives for dry oxidation, with its
// intermediate figures: rates in microns squared per hour and microns per hour, A in microns,
// tau in hours.
struct DealGroveThickness {
    double parabolicRateAtOneAtm = 0; // B at 1 atm
    double parabolicRate = 0;         // B
    double linearRate = 0;            // B/A
    double a = 0;
    double tau = 0;
    double microns = 0;

    static DealGroveThickness compute(double hours, double kelvin, double atm);
};

// Thermal oxidation of silicon: silicon at the surface becomes thermal oxide, partly inward
// (cells closer to the surface than 0.3 of the thickness) and partly outward into empty space
// (closer than 0.6 of it). Other materials, oxide already present included, are fixed
// obstacles. The oxidizable materials are those the process registry lists for "Simple Si
// Oxidation".
class SimpleSiOxidation {
public:
    static constexpr std::uint32_t oxideMaterial = 3; // "Thermal Si02"

    SimpleSiOxidation(Model::Automaton::TotalVolume& volume, double micronConversion);

    // Oxidizes for a time at a temperature and pressure, the thickness following the law.
    void oxidateFor(double hours, double kelvin, double atm,
                    Util::ProgressReporter& progress = Util::ProgressReporter::none());
    // Grows a thickness given in cell units; one not above the smallest cell edge changes
    // nothing.
    void oxidateTo(double thickness,
                   Util::ProgressReporter& progress = Util::ProgressReporter::none());

    const MaterialSet& getOxidizableMaterials() const { return oxidizable; }
    static MaterialSet readOxidizableMaterials();
    // ceil(d / smallest edge) * (1 + 1/sqrt 2) propagation passes, the ceiling in double.
    static int passCount(double thickness, float smallestEdge);

private:
    Model::Automaton::TotalVolume& volume;
    double micronConversion;
    MaterialSet oxidizable;
};

} // namespace Core::Operations
