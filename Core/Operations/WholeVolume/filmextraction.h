#pragma once

#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"

#include <memory>
#include <vector>

namespace Core::Operations {

// Copies one connected piece of a film into a volume of its own: the piece that holds the
// first film cell in cell order, grown through face neighbours of the same material.
// Optionally turned upside down (y and z mirrored), then lowered until it rests on the bottom
// face.
//
// The fill runs on the calling thread: which cells it reaches does not depend on the order it
// visits them in, so the result is the same on every machine. It marks the piece with a bit a
// cell; the new volume's columns are then written from those marks.
class FilmExtraction {
public:
    FilmExtraction(Model::Automaton::TotalVolume& source, unsigned material, bool invert);

    // The piece in a volume of the source's sizes, cell sizes and position; null when the
    // source holds no cell of the material. Holds the source's current cell array while it
    // looks for the piece.
    std::shared_ptr<Model::Automaton::TotalVolume> run();

private:
    // False when the source holds no cell of the material.
    bool findPiece();
    void fillColumn(unsigned x, unsigned y, Model::Automaton::MaterialCells column) const;

    Model::Automaton::TotalVolume& source;
    unsigned material;
    bool invert;
    std::vector<bool> piece;
    // The lowest layer the piece reaches once turned, which becomes layer 0.
    unsigned lowestZ = 0;
};

} // namespace Core::Operations
