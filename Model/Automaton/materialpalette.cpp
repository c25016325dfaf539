#include "Model/Automaton/materialpalette.h"

#include "Model/Materials/materialfactory.h"

namespace Model::Automaton {

namespace {

// Ids above this are rare (documents bring them in with generated ids) and go to the map.
constexpr std::uint32_t denseLimit = 1u << 16;

} // namespace

MaterialPalette::MaterialPalette(const std::map<std::uint32_t, Rgba>& colors, const Rgba& fallback)
    : colors(colors), fallback(fallback) {
    std::uint32_t largest = 0;
    for (const auto& [id, color] : colors) {
        if (id < denseLimit)
            largest = std::max(largest, id);
    }
    dense.assign(std::size_t(largest) + 1, fallback);
    for (const auto& [id, color] : colors) {
        if (id < denseLimit)
            dense[id] = color;
    }
}

MaterialPalette MaterialPalette::fromRegistry() {
    std::map<std::uint32_t, Rgba> colors;
    for (const Materials::Material& material :
         Materials::MaterialFactory::getInstance()->getMaterials())
        colors[material.getId()] = {material.getRed(), material.getGreen(), material.getBlue(),
                                    material.getAlpha()};
    return MaterialPalette(colors);
}

bool MaterialPalette::knows(std::uint32_t id) const {
    return colors.count(id) > 0;
}

const MaterialPalette::Rgba& MaterialPalette::sparseColor(std::uint32_t id) const {
    const auto found = colors.find(id);
    return found == colors.end() ? fallback : found->second;
}

MaterialPalette MaterialPalette::highlighted() const {
    std::map<std::uint32_t, Rgba> result;
    for (const auto& [id, color] : colors)
        result[id] = highlight(color);
    return MaterialPalette(result, highlight(fallback));
}

MaterialPalette::Rgba MaterialPalette::highlight(const Rgba& color) {
    Rgba result = color;
    for (int channel = 0; channel < 3; ++channel)
        result[channel] = color[channel] >= 0.7f ? color[channel] - 0.7f : color[channel] + 0.3f;
    return result;
}

const MaterialPalette::Rgba& MaterialPalette::unknownColor() {
    static const Rgba grey{0.5f, 0.5f, 0.5f, 1.f};
    return grey;
}

} // namespace Model::Automaton
