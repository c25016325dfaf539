#pragma once

#include "Core/Operations/WholeVolume/gluelayout.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"

#include <memory>

namespace Core::Operations {

// Builds a glued volume: the base's occupied layers at the bottom, the top's occupied band
// (turned over about the y axis when inverting) right above them.
//
// Each column of the result is filled from the base column and the top column that land on
// it, so the cells are written once, in place, on the result's strips; base cells lie below
// the base height and top cells above it, and any thread count gives the same cells.
class GlueSubstrate {
public:
    // The placement must have passed GluePlacement::problemWith(); base and top must differ.
    GlueSubstrate(Model::Automaton::TotalVolume& base, Model::Automaton::TotalVolume& top,
                  const GlueLayout& layout, const GluePlacement& placement);

    // The glued volume (sizes of the placement, cells of the layout, at the base's position).
    // Holds the current cell arrays of both volumes while it is built.
    std::shared_ptr<Model::Automaton::TotalVolume> run();

private:
    void fillColumn(Model::Automaton::MaterialCells baseCells,
                    Model::Automaton::MaterialCells topCells, unsigned x, unsigned y,
                    Model::Automaton::MaterialCells column) const;

    Model::Automaton::TotalVolume& base;
    Model::Automaton::TotalVolume& top;
    GlueLayout layout;
    GluePlacement placement;
};

} // namespace Core::Operations
