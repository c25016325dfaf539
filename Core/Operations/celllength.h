#pragma once

#include <QString>

#include <cstdint>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

// A length a step is asked for (a film thickness, an etch or doping depth), in µm, as the whole
// number of cells down the volume's z axis that the step makes. Every step works on whole
// cells, so this is where a length becomes cells: rounded to the nearest cell (half a cell up),
// said once when the request is not a whole number of cells, and refused when it is below half
// a cell and would change nothing.
struct CellLength {
    // What was asked, in µm.
    double requested = 0.0;
    // The volume's cell edge along z in µm, and in scene units.
    double cellEdge = 1.0;
    double sceneCell = 1.0;
    std::int64_t cells = 0;

    static CellLength of(const Model::Automaton::TotalVolume& volume, double microns);

    // What the step makes, in µm and in the volume's scene units.
    double microns() const { return double(cells) * cellEdge; }
    double sceneUnits() const { return double(cells) * sceneCell; }
    // Whether the request is a whole number of cells, to a millionth of a cell.
    bool isWhole() const;
    // "1.5 µm is 1.5 cells of 1 µm: deposited 2 cells = 2 µm", with `done` naming what the step
    // did ("deposited", "etched"); empty for a whole number of cells.
    QString note(const QString& done) const;
    // "The film thickness of 0.4 µm is less than half a cell of 1 µm and would change no cell.",
    // `what` naming the length; empty for a request of nothing or of half a cell and more.
    QString refusal(const QString& what) const;

    // How the notes and refusals write a length: up to six significant digits.
    static QString number(double value);
};

// A length a step asks for, and how its messages name it: `what` the length ("film
// thickness"), `done` what the step did with it ("deposited").
struct LengthRequest {
    double microns = 0.0;
    QString what;
    QString done;
};

} // namespace Core::Operations
