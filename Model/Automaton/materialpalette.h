#pragma once

#include "Model/Geometry/quadface.h"

#include <cstdint>
#include <map>
#include <vector>

namespace Model::Automaton {

// Material id -> display colour, read by the surface builders once per cell side, so the
// common small ids are looked up in a flat table. Ids the registry does not know show in the
// registry's default grey rather than not at all.
class MaterialPalette {
public:
    using Rgba = Geometry::Rgba;

    MaterialPalette() = default;
    explicit MaterialPalette(const std::map<std::uint32_t, Rgba>& colors,
                             const Rgba& fallback = unknownColor());

    // The colours of the material registry as they are now.
    static MaterialPalette fromRegistry();

    const Rgba& color(std::uint32_t id) const {
        if (id < dense.size())
            return dense[id];
        return sparseColor(id);
    }
    float alpha(std::uint32_t id) const { return color(id)[3]; }
    bool knows(std::uint32_t id) const;
    // Every id from here up to 2^16 is unknown and shows the fallback colour.
    std::uint32_t denseEnd() const { return std::uint32_t(dense.size()); }

    const std::map<std::uint32_t, Rgba>& getColors() const { return colors; }

    // The same palette with every colour highlighted.
    MaterialPalette highlighted() const;

    // Selection highlight: each of red, green, blue moves by 0.3 up, or by 0.7 down when that
    // would leave the range; alpha stays.
    static Rgba highlight(const Rgba& color);
    static const Rgba& unknownColor();

private:
    const Rgba& sparseColor(std::uint32_t id) const;

    std::map<std::uint32_t, Rgba> colors;
    // What ids the registry does not know are shown in.
    Rgba fallback = unknownColor();
    // Indexed by id up to the largest small id; unknown ids hold the fallback.
    std::vector<Rgba> dense;
};

} // namespace Model::Automaton
