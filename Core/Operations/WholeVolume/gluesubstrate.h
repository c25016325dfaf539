#pragma once

#include "Core/Operations/WholeVolume/gluelayout.h"
#include "Model/Automaton/materialcells.h"
#include "Model/Automaton/totalvolume.h"

#include <vector>

namespace Core::Operations {

// Writes the material list of a glued volume: the base's occupied layers at the bottom, the
// top's occupied band (turned over about the y axis when inverting) right above them.
//
// Each strip task copies its x-slab of the base and its x-slab of the top. Base cells land
// below the base height and top cells above it, and slabs are disjoint in x, so no two tasks
// ever write the same element and any thread count gives the same list.
class GlueSubstrate {
public:
    // The placement must have passed GluePlacement::problemWith(); base and top must differ.
    GlueSubstrate(Model::Automaton::TotalVolume& base, Model::Automaton::TotalVolume& top,
                  const GlueLayout& layout, const GluePlacement& placement);

    // Fills `result` (sizeX × sizeY × sizeZ of the placement, all 0 on entry) in cell order.
    // Holds the current cell arrays of both volumes for the whole run.
    void run(std::vector<int>& result);

private:
    void copyBase(Model::Automaton::MaterialCells cells, unsigned beginX, unsigned endX,
                  std::vector<int>& result) const;
    void copyTop(Model::Automaton::MaterialCells cells, unsigned beginX, unsigned endX,
                 std::vector<int>& result) const;

    Model::Automaton::TotalVolume& base;
    Model::Automaton::TotalVolume& top;
    GlueLayout layout;
    GluePlacement placement;
};

} // namespace Core::Operations
