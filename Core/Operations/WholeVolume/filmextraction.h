#pragma once

#include "Model/Automaton/totalvolume.h"

#include <vector>

namespace Core::Operations {

// Copies one connected piece of a film into a list of its own: the piece that holds the first
// film cell in cell order, grown through face neighbours of the same material. Optionally
// turned upside down (y and z mirrored), then lowered until it rests on the bottom face.
//
// The fill runs on the calling thread: which cells it reaches does not depend on the order it
// visits them in, so the result is the same on every machine.
class FilmExtraction {
public:
    FilmExtraction(Model::Automaton::TotalVolume& source, unsigned material, bool invert);

    // Fills `result` (the source's cell count, all 0 on entry). False when the source holds
    // no cell of the material; `result` is then untouched. Holds the source's current cell
    // array for the whole run.
    bool run(std::vector<int>& result);

private:
    void lowerToBottom(std::vector<int>& result, unsigned lowestZ) const;

    Model::Automaton::TotalVolume& source;
    unsigned material;
    bool invert;
};

} // namespace Core::Operations
