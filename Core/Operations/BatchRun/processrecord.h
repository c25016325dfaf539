#pragma once

#include <QString>

namespace Core::Operations {

// Type codes of the steps a process list holds. They are written to process-list files, so
// they never change.
struct ProcessTypes {
    enum ProcessType {
        Photolithography = 0,
        SiWetEtching = 1,
        MooreDeposition = 2,
        MooreEtching = 3,
        CVD = 4,
        IsotropicEtching = 5,
        Planarization = 6,
        Electroplating = 7,
        Doping = 8,
        SpinCoating = 9,
        SaveImage = 10,
        CreateSubstrate = 11,
        PVD = 12,
        SimpleRIE = 13,
        IonImplantation = 14,
        SiOxidation = 15,
        // A record read from an element that was no process.
        Invalid = 16,
        // Takes a measurement of the volume; changes no cell.
        Measure = 17,
        // Writes a picture of the cells on one plane; changes no cell.
        SaveCrossSection = 18,
        // The surface moves by the particle flux it receives.
        FluxEtching = 19,
        FluxDeposition = 20,
        // Deep reactive-ion etching in passivation and etch cycles.
        BoschDrie = 21,
        // A sacrificial etch by rate × time that frees structures; reports what it freed.
        ReleaseEtch = 22,
    };
};

// The names under which a process record keeps its values: the batch dialog writes them, the
// executor reads them and process-list files carry them.
namespace RecordParameters {

inline const QString thickness = QStringLiteral("Thickness");
inline const QString depth = QStringLiteral("Depth");
inline const QString depositOn = QStringLiteral("DepositOn");
inline const QString depositOnText = QStringLiteral("Deposit On");
inline const QString horizontalRatio = QStringLiteral("Horizontal to Vertical Ratio");
inline const QString maximumHeight = QStringLiteral("Maximum Height");
inline const QString minimumHeight = QStringLiteral("Minimum Height");
inline const QString filmThickness = QStringLiteral("Film Thickness");
inline const QString dopingDepth = QStringLiteral("Doping Depth");
// A doping's dopant concentration in cm⁻³; absent, the doped material is used as it is.
inline const QString concentration = QStringLiteral("Concentration");
inline const QString annealingDistance = QStringLiteral("Annealing Distance");
inline const QString implantationDepth = QStringLiteral("Implantation Depth");
inline const QString etchDepth = QStringLiteral("Etch Depth");
// A length in cells may be given in µm instead, by the same name followed by " Microns"
// ("Etch Depth Microns", "Volume Size Microns X"): the step takes the nearest whole number of
// cells, and the record's value in cells keeps its meaning where the µm value is absent.
inline const QString etchDepthMicrons = QStringLiteral("Etch Depth Microns");
inline const QString etchDirectionValue = QStringLiteral("EtchDirectionValue");
inline const QString etchDirection = QStringLiteral("Etch Direction");
inline const QString micronConversion = QStringLiteral("Micron Conversion");
inline const QString oxidationPressure = QStringLiteral("Oxidation Pressure");
inline const QString oxidationTemperature = QStringLiteral("Oxidation Temperature");
inline const QString oxidationTime = QStringLiteral("Oxidation Time");
inline const QString oxidationTimeSet = QStringLiteral("OxidationTimeSet");
inline const QString oxidationThickness = QStringLiteral("Oxidation Thickness");
inline const QString oxidationThicknessSet = QStringLiteral("OxidationThicknessSet");
inline const QString corner = QStringLiteral("Lower Left Front Corner");
inline const QString sphericalSubstrate = QStringLiteral("SphericalSubstrate");
inline const QString substrateRadius = QStringLiteral("Substrate Radius");
inline const QString fileName = QStringLiteral("Filename");
// A "Measure" step: what to measure, in the measurement vocabulary, and the name its results
// are reported under.
inline const QString measurement = QStringLiteral("Measurement");
inline const QString resultName = QStringLiteral("Result Name");
// A cross-section's plane: "x", "y" or "z", and its position in micrometres.
inline const QString planeAxis = QStringLiteral("Plane Axis");
inline const QString planePosition = QStringLiteral("Plane Position");
// A wet etch given as a KOH recipe rather than a depth: concentration in wt%, temperature in
// °C and time in minutes. Absent from lists written before recipes, whose etches go by depth.
inline const QString kohRecipe = QStringLiteral("KOH Recipe");
inline const QString kohConcentration = QStringLiteral("KOH Concentration");
inline const QString kohTemperature = QStringLiteral("KOH Temperature");
inline const QString etchTime = QStringLiteral("Etch Time");
// A deposition or etch given as a rate in µm/min for a time in minutes rather than as a
// thickness or depth; an etch may add the rates of the other materials ("3:0.05;11:0.2", id
// and µm/min), which then recede by their own rate × time. Absent from older lists.
inline const QString byRateAndTime = QStringLiteral("By Rate And Time");
inline const QString rate = QStringLiteral("Rate");
inline const QString time = QStringLiteral("Time");
inline const QString otherEtchRates = QStringLiteral("Other Etch Rates");
// A wet etch whose wafer continues beyond the volume's sides; closed sides when absent.
inline const QString periodicSides = QStringLiteral("Periodic Sides");
// The flux-driven steps: the cosine powers of their sources, sticking probabilities, the ions'
// share of the removal, and the rays traced per surface cell with the seed that draws them
// (both optional).
inline const QString ionExponent = QStringLiteral("Ion Exponent");
inline const QString neutralSticking = QStringLiteral("Neutral Sticking");
inline const QString ionShare = QStringLiteral("Ion Share");
inline const QString sourceExponent = QStringLiteral("Source Exponent");
inline const QString sticking = QStringLiteral("Sticking");
inline const QString raysPerCell = QStringLiteral("Rays Per Cell");
inline const QString seed = QStringLiteral("Seed");
// The Bosch cycle: per cycle a film of the given thickness, then an etch of the given depth on
// the open field with the isotropy of its sideways etch; the film left at the end may be
// stripped. Times and rates stand in for the depths when "By Rate And Time" is set.
inline const QString cycles = QStringLiteral("Cycles");
inline const QString etchDepthPerCycle = QStringLiteral("Etch Depth Per Cycle");
inline const QString passivationThickness = QStringLiteral("Passivation Thickness");
inline const QString isotropy = QStringLiteral("Isotropy");
inline const QString stripPassivation = QStringLiteral("Strip Passivation");
inline const QString etchRate = QStringLiteral("Etch Rate");
inline const QString etchTimePerCycle = QStringLiteral("Etch Time Per Cycle");
inline const QString passivationRate = QStringLiteral("Passivation Rate");
inline const QString passivationTimePerCycle = QStringLiteral("Passivation Time Per Cycle");
// A wet etch's side: "top", "bottom" or "both"; the top when absent.
inline const QString etchSide = QStringLiteral("Etch Side");
// A new volume's wafer surface plane: "100" or "110"; (100) when absent.
inline const QString crystalOrientation = QStringLiteral("Crystal Orientation");
// A wet etch recipe's etchant, "KOH" or "TMAH", whose calibrated plane rates the etch follows
// (with "KOH Concentration" and "KOH Temperature" as the solution's); absent, the recipe's
// KOH etches by the uncalibrated lattice rule.
inline const QString etchant = QStringLiteral("Etchant");

// "Volume Size X", "Substrate Size Y", ...: a name followed by the axis letter.
inline QString axis(const char* name, char axisLetter) {
    return QString::fromLatin1(name) + QLatin1Char(' ') + QLatin1Char(axisLetter);
}
inline const char volumeSize[] = "Volume Size";
inline const char substrateSize[] = "Substrate Size";
inline const char substrateDelta[] = "Substrate Delta";
inline const char substrateCenter[] = "Substrate Center";
// Absent from lists written before cells could be other than unit cubes.
inline const char cellSize[] = "Cell Size";
inline QString inMicrons(const char* name) {
    return QString::fromLatin1(name) + QStringLiteral(" Microns");
}
inline QString axisInMicrons(const char* name, char axisLetter) {
    return inMicrons(name) + QLatin1Char(' ') + QLatin1Char(axisLetter);
}

// The unit of a record value, for the lines that show it and the axes that plot it ("µm",
// "cells", "µm/min", "min", "°C", "wt %"); empty where the value has none or it is not known.
QString unitOf(const QString& name);

// A chosen material is kept three times: its id, which runs, and its name and colour, which
// are only shown. `role` is empty or a word such as "Doped": "DopedMaterialId",
// "Doped Material", "Doped Material_Color".
struct MaterialNames {
    QString id;
    QString name;
    QString color;
};
inline MaterialNames material(const QString& role = QString()) {
    const QString name =
        role.isEmpty() ? QStringLiteral("Material") : role + QStringLiteral(" Material");
    return {role + QStringLiteral("MaterialId"), name, name + QStringLiteral("_Color")};
}

// The mask of one side of a photolithography step: its bits, the image it came from (shown
// only) and its size.
struct MaskNames {
    QString bits;
    QString file;
    QString height;
    QString width;
};
inline MaskNames mask(const QString& side) {
    const QString prefix = side + QStringLiteral(" Mask");
    return {prefix, prefix + QStringLiteral(" File"), prefix + QStringLiteral(" Height"),
            prefix + QStringLiteral(" Width")};
}

// The layout a side's mask is made from, when it is: "TopLayout" holds the file and the
// layer as "chip.gds:5/0"; the placement and polarity are kept as numbers (hidden) and as text
// (shown). A photolithography record whose side has a layout but no mask bits makes the mask
// when it runs, on the volume it runs on.
struct LayoutNames {
    QString source;
    QString cell;
    QString placement;
    QString polarity;
    QString offsetX;
    QString offsetY;
    QString rotation;
    QString mirrored;
    QString inverted;
};
inline LayoutNames layout(const QString& side) {
    const QString prefix = side + QStringLiteral("Layout");
    const auto name = [&prefix](const char* what) {
        return prefix + QLatin1Char(' ') + QString::fromLatin1(what);
    };
    return {prefix,          name("Cell"),     name("Placement"), name("Polarity"), name("OffsetX"),
            name("OffsetY"), name("Rotation"), name("Mirrored"),  name("Inverted")};
}

} // namespace RecordParameters

} // namespace Core::Operations
