#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Metrology/measurement.h"
#include "Model/Metrology/scale.h"

namespace Model::Metrology {

// The volume and exposed surface area of every material of a grid.
//
// Volume = cells × dx·dy·dz. Exposed area = the cell sides between a cell of the material and
// an empty cell, each side counted with its area (dy·dz for a side facing x, dx·dz facing y,
// dx·dy facing z). Sides on the volume's own faces do not count: they are where the simulated
// piece was cut out of a wafer, not surfaces a process sees.
//
// Counted in x strips on the global pool, each strip over its own columns and the sides
// towards its +x neighbour; integer counts are summed, so any thread count gives the same
// totals. Quantities "<material>.volume" (µm³) and "<material>.area" (µm²), ascending id.
Measurement materialTotals(const Automaton::CellGrid& grid, CellEdges edges);

// The same with a given number of strips (1 runs on the calling thread).
Measurement materialTotals(const Automaton::CellGrid& grid, CellEdges edges, int threads);

} // namespace Model::Metrology
