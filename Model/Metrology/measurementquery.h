#pragma once

#include "Model/Materials/material.h"
#include "Model/Metrology/measurement.h"
#include "Model/Metrology/scale.h"

#include <QString>

#include <optional>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
struct CellGrid;
} // namespace Model::Automaton

namespace Model::Metrology {

// One measurement as a process list or a command line writes it: KIND[:SET]@PLACE. Coordinates
// are µm in volume coordinates.
//
//   stack@X,Y                      the layers of the column at (X, Y)
//   thickness:SET@X,Y[,Z]          the highest run of SET there (or the run holding Z)
//   top[:SET]@X,Y                  height of the highest cell of SET (default: any material)
//   step[:SET]@X1,Y1,X2,Y2         top at the second point − top at the first
//   width:SET@AXIS,C,Z             the one run of SET along AXIS (x or y) on the line at the
//   width:SET@AXIS,X,Y,Z           other coordinate C and height Z, or the run holding (X,Y,Z)
//   depth[:SET]@X1,Y1..X2,Y2[,REF] cavity depth in the window below REF (default: its highest
//                                  surface), and its mean
//   angle:SET@AXIS,C,Z1..Z2        sidewall angle of SET between heights Z1 and Z2: the one
//   angle:SET@AXIS,X,Y,Z1..Z2      edge on the line, or the end of the run holding (X,Y)
//                                  towards AXIS (x, y, -x or -y)
//   scallop:SET@AXIS,X,Y,Z1..Z2    the in-and-out of that wall between Z1 and Z2: its
//                                  peak-to-valley depth, period and mean angle
//   undercut:MASK/UNDER@AXIS,X,Y   how far UNDER recedes below the edge of MASK, walking from
//                                  (X,Y) towards AXIS (x, y, -x or -y)
//   volumes                        volume and exposed area of every material
//   flux[:EXPONENT[:STICKING]]@X,Y the total particle flux on the top surface cell of the
//                                  column at (X, Y), from a source of that cosine power
//                                  (default 1) sticking with that probability (default 1)
//   free                           the solid bodies and what holds them: attached to the
//                                  substrate, anchored through a narrow connection, or loose
//
// SET is one or more materials joined by '+': a registered name (case ignored, '_' for a
// space), a word of one ("Al" for "Al (bulk)", with 0 and O alike, so "SiO2" names
// "Thermal Si02"), a material id, "empty" for empty space or "solid" for every material.
struct MeasurementQuery {
    enum class Kind {
        Stack,
        Thickness,
        Top,
        Step,
        Width,
        Depth,
        Angle,
        Undercut,
        Volumes,
        Flux,
        Scallop,
        Free
    };

    Kind kind = Kind::Stack;
    // The text it was read from.
    QString text;
    MaterialSelection set;
    // The upper material of an undercut.
    MaterialSelection mask;
    // 0 x, 1 y; `direction` ±1 for angle and undercut.
    int axis = 0;
    int direction = 1;
    // The coordinates in the order written, ranges flattened.
    std::vector<double> numbers;
    // Width and angle: whether a point along the axis was given (X,Y rather than C).
    bool pointGiven = false;
    // Flux: the source's cosine power and the sticking probability.
    double sourceExponent = 1.0;
    double sticking = 1.0;

    // Reads one measurement, resolving material names against `materials`. Nothing, with the
    // reason in `problem`, for a text outside the vocabulary.
    static std::optional<MeasurementQuery>
    parse(const QString& text, const std::vector<Materials::Material>& materials, QString& problem);
    // The same against the material registry.
    static std::optional<MeasurementQuery> parse(const QString& text, QString& problem);

    // The vocabulary in a few lines, for help texts.
    static QString vocabulary();
};

// Takes the measurement on cells the caller holds.
Measurement measure(const Automaton::CellGrid& grid, CellEdges edges,
                    const MeasurementQuery& query);
// Takes the measurement on a volume, holding its current cells meanwhile.
Measurement measure(Automaton::TotalVolume& volume, const MeasurementQuery& query);

} // namespace Model::Metrology
