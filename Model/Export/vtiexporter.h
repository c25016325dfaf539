#pragma once

#include "Model/Export/savefileset.h"

#include <QString>

#include <cstdint>

namespace Model::Automaton {
class TotalVolume;
}
namespace Model::Transport {
class SurfaceFlux;
}

namespace Model::Export {

// VTK XML image data (".vti"): the cell volume as a box of cells with the cell sizes as
// spacing and the volume's position as origin, one cell array "material" of 32-bit unsigned
// material ids, and two field arrays "MaterialIds" and "MaterialNames" that name every id the
// volume holds. The ids are appended as raw binary, optionally compressed with zlib, so that
// writing costs little more than copying the cells. With a flux map, a second cell array
// "flux" (32-bit floats) holds each surface cell's flux and 0 elsewhere.
class VtiExporter {
public:
    // Bytes per uncompressed block handed to zlib.
    static constexpr std::uint32_t compressionBlockBytes = 1u << 20;

    static ExportResult write(Automaton::TotalVolume& volume, const QString& fileName,
                              bool compress = false, const Transport::SurfaceFlux* flux = nullptr);
};

} // namespace Model::Export
