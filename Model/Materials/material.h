#pragma once

#include "Util/vector4d.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace Model::Materials {

// What a cell's material id stands for: a name, the mechanical constants the model
// extraction needs, and the colour the view paints it in. A plain value, copied freely.
class Material {
public:
    // The empty material (id 0): what an unregistered id or an empty cell resolves to.
    Material();
    Material(uint32_t id, const QString& name, float density, float youngModulus,
             float poissonRatio, const Util::Vector4D& color = defaultColor());

    uint32_t getId() const { return id; }
    const QString& getName() const { return name; }
    float getDensity() const { return density; }
    float getYoungModulus() const { return youngModulus; }
    float getPoissonRatio() const { return poissonRatio; }
    // In-plane residual stress of a film of this material as deposited: its mean (MPa, tensile
    // positive) and its gradient through the thickness (MPa/µm, towards the top). Zero unless
    // the user enters them.
    float getResidualStress() const { return residualStress; }
    float getStressGradient() const { return stressGradient; }
    // Whether the material conducts well enough to act as an electrode under a beam; by
    // default as conductorByDefault() says for the id.
    bool isConductor() const { return conductor; }
    // Red, green, blue, alpha, each 0 to 1.
    Util::Vector4D getColor() const;
    float getRed() const { return color[0]; }
    float getGreen() const { return color[1]; }
    float getBlue() const { return color[2]; }
    float getAlpha() const { return color[3]; }

    void setId(uint32_t value) { id = value; }
    void setName(const QString& value) { name = value; }
    void setDensity(float value) { density = value; }
    void setYoungModulus(float value) { youngModulus = value; }
    void setPoissonRatio(float value) { poissonRatio = value; }
    void setResidualStress(float value) { residualStress = value; }
    void setStressGradient(float value) { stressGradient = value; }
    void setConductor(bool value) { conductor = value; }
    void setColor(float red, float green, float blue, float alpha);
    // The probability that a particle of a flux-driven step sticks where it hits this material;
    // none when the step's own value applies.
    const std::optional<float>& getSticking() const { return sticking; }
    void setSticking(std::optional<float> value) { sticking = value; }

    // The built-in metals and doped silicon conduct; a record that does not say otherwise
    // takes this for its id.
    static bool conductorByDefault(uint32_t id) {
        return (id >= 4 && id <= 10) || id == 14 || id == 15;
    }

    // Opaque mid grey.
    static Util::Vector4D defaultColor() { return Util::Vector4D(0.5, 0.5, 0.5, 1.0); }

    // Colours only have to agree to within one step of an 8-bit channel, because a colour that
    // went through a file comes back truncated to 8 bits. The constants do not take part.
    bool operator==(const Material& other) const;
    bool operator!=(const Material& other) const { return !(*this == other); }

private:
    uint32_t id = 0;
    QString name;
    float density = 0.f;
    float youngModulus = 0.f;
    float poissonRatio = 0.f;
    float residualStress = 0.f;
    float stressGradient = 0.f;
    bool conductor = false;
    std::array<float, 4> color{0.5f, 0.5f, 0.5f, 1.f};
    std::optional<float> sticking;
};

} // namespace Model::Materials
