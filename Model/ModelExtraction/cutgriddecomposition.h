#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/ModelExtraction/extractedmodel.h"

#include <QString>

#include <memory>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Model::ModelExtraction {

// The first step of model extraction: cuts a cell volume along every plane where the material
// changes, keeps each box of the resulting grid that holds material as an envelope, and links
// the envelopes that share a whole face.
//
// One pass over the cells finds the cuts; the boxes are then visited breadth first from the
// box at the origin (neighbours along +x, +y, +z in this order), which fixes the order of the
// envelopes. Boxes that share a whole face are exactly the grid neighbours, so links come
// from the grid instead of comparing every pair of boxes.
class CutGridDecomposition {
public:
    // Per axis, the box boundaries: 0, every cut in increasing order, and the size.
    struct Boundaries {
        std::vector<int> x;
        std::vector<int> y;
        std::vector<int> z;
    };

    // A plane lies between two layers of cells wherever two cells next to each other across
    // it hold different materials.
    static Boundaries findBoundaries(const Automaton::CellGrid& grid);

    // Envelopes in visiting order, linked. False with a reason when the boxes would not fit
    // in memory; `out` is then empty.
    static bool decompose(const Automaton::CellGrid& grid, std::vector<EnvelopePtr>& out,
                          QString* reason = nullptr);

    // The preprocessing of a whole volume, under its cell lock: the model of its envelopes, or
    // null with a reason.
    static std::shared_ptr<ExtractedModel> preprocess(Automaton::TotalVolume& volume,
                                                      QString* reason = nullptr);
};

} // namespace Model::ModelExtraction
