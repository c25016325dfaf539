#pragma once

#include "Model/Automaton/totalvolume.h"

#include <QString>

namespace Core::Operations {

// Where the cells of a base and a top volume go when the top is bonded onto the base: the base
// keeps its occupied height, the top contributes only its band of occupied layers, which rests
// directly on the base.
struct GlueLayout {
    // 1 + the highest occupied layer of the base; 1 when the base holds nothing.
    unsigned baseHeight = 1;
    // The top's occupied layers, [bandBegin, bandEnd); empty when the top holds nothing.
    unsigned bandBegin = 0;
    unsigned bandEnd = 0;
    unsigned minimumX = 0;
    unsigned minimumY = 0;
    unsigned minimumZ = 0;
    int maximumDisplacementX = 0;
    int maximumDisplacementY = 0;
    float cellSizeX = 1.f;
    float cellSizeY = 1.f;
    float cellSizeZ = 1.f;

    unsigned bandHeight() const { return bandEnd > bandBegin ? bandEnd - bandBegin : 0; }

    // Reads both volumes' cells, each under its own lock taken and released in turn.
    static GlueLayout of(Model::Automaton::TotalVolume& base, Model::Automaton::TotalVolume& top);

    // What the bonded stack changes of either volume, in words for the user; empty when
    // nothing. The stack has one cell size, the larger of the two on each axis, one scale and
    // one crystal orientation, the base's: a volume of smaller cells, another scale or the
    // other orientation is stretched or etched as the stack's.
    static QString changesOf(const Model::Automaton::TotalVolume& base,
                             const Model::Automaton::TotalVolume& top, const GlueLayout& layout);
};

// What the user chose: the size of the result and where the top sits on the base.
struct GluePlacement {
    unsigned sizeX = 0;
    unsigned sizeY = 0;
    unsigned sizeZ = 0;
    int displacementX = 0;
    int displacementY = 0;
    bool invert = false;

    // Empty when every base and top cell lands inside the result; otherwise why not, in words
    // for the user.
    QString problemWith(const Model::Automaton::TotalVolume& base,
                        const Model::Automaton::TotalVolume& top, const GlueLayout& layout) const;
};

} // namespace Core::Operations
