#pragma once

#include <QString>

namespace Model::Automaton {

// The crystal plane of the wafer's surface, which a cell volume keeps from its creation: the
// silicon lattice laid over the volume is turned to suit it. The volume's x axis runs along
// the wafer's flat, a <110> direction, for either surface.
enum class CrystalOrientation {
    // (100): z along [001], x and y along the in-plane face diagonals [110] and [-110].
    Surface100,
    // (110): z along [110], x along [1-10] (the flat) and y along [001]. The {111} planes
    // (1-11) and (1-1-1) stand vertical here and meet the surface along <112>, at 54.74
    // degrees to x on either side.
    Surface110,
};

// "100" and "110", as records, scripts and documents write them.
QString crystalOrientationName(CrystalOrientation orientation);
// The orientation a text names: "100" or "110", with or without parentheses and surrounding
// spaces; false for any other text.
bool crystalOrientationFromName(const QString& name, CrystalOrientation& orientation);
// Why a text names no orientation, as part of a sentence.
QString crystalOrientationRefusal(const QString& name);

} // namespace Model::Automaton
