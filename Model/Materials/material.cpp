#include "Model/Materials/material.h"

#include <cmath>

namespace Model::Materials {

namespace {
constexpr float colorTolerance = 1.f / 256.f;
}

Material::Material() : name(QStringLiteral("Empty")) {}

Material::Material(uint32_t id, const QString& name, float density, float youngModulus,
                   float poissonRatio, const Util::Vector4D& color)
    : id(id), name(name), density(density), youngModulus(youngModulus), poissonRatio(poissonRatio),
      conductor(conductorByDefault(id)) {
    setColor(float(color.x), float(color.y), float(color.z), float(color.w));
}

Util::Vector4D Material::getColor() const {
    return Util::Vector4D(color[0], color[1], color[2], color[3]);
}

void Material::setColor(float red, float green, float blue, float alpha) {
    color = {red, green, blue, alpha};
}

bool Material::operator==(const Material& other) const {
    if (id != other.id || name != other.name)
        return false;
    for (std::size_t i = 0; i < color.size(); ++i) {
        if (!(std::fabs(color[i] - other.color[i]) <= colorTolerance))
            return false;
    }
    return true;
}

} // namespace Model::Materials
