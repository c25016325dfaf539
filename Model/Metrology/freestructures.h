#pragma once

#include "Model/Automaton/cellgrid.h"
#include "Model/Metrology/measurement.h"
#include "Model/Metrology/scale.h"

#include <cstdint>
#include <vector>

namespace Model::Metrology {

// What holds the solid bodies of a volume after a release etch.
//
// The substrate is every cell reached from the volume's bottom layer through cells of the
// materials found in that layer. Every other connected body of solid cells (cells sharing a
// face, whatever their materials) is then
//   attached  when it touches the substrate and nothing of it hangs over empty space,
//   anchored  when it touches the substrate but parts of it hang over empty space: it is held
//             through a narrower connection (an anchor, a pillar left by the etch),
//   loose     when it touches neither the substrate nor the volume's bottom: a piece that would
//             float away in the rinse.
// The substrate itself is listed first, as attached.
//
// Quantities: "" the number of bodies, "attached", "anchored" and "loose" their counts, and
// per body n (from 1) "n.volume" (µm³), "n.contact" (µm² shared with the substrate) and
// "n.released" (µm² of its underside over empty space).
//
// With `sacrificial` materials (the ones a release etch removes), each anchored body that still
// stands on some of them also gets the undercut reached below its anchor: along each edge of
// the remaining sacrificial cells (±x, ±y), every column across the edge is measured as
// undercut:MASK/SACRIFICIAL@AXIS,X,Y (MASK the material lying on the sacrificial one there); the
// least positive answer is the etch's reach below the anchor, since a column that runs out
// along a beam measures the beam as well. Quantity "n.undercut" (µm).
Measurement freeStructures(const Automaton::CellGrid& grid, CellEdges edges,
                           const std::vector<std::uint32_t>& sacrificial = {});

} // namespace Model::Metrology
