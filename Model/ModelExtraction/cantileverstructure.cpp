#include "Model/ModelExtraction/cantileverstructure.h"

#include "Model/Materials/materialfactory.h"

#include <algorithm>
#include <cmath>

namespace Model::ModelExtraction {

namespace {

CantileverStructure::Constants registryConstants(std::uint32_t material) {
    const Materials::Material m = Materials::MaterialFactory::getInstance()->getMaterial(material);
    return {double(m.getDensity()), double(m.getYoungModulus())};
}

bool usable(const CantileverStructure::Constants& c) {
    return std::isfinite(c.density) && std::isfinite(c.youngModulus) && c.density > 0 &&
           c.youngModulus > 0;
}

QString number(double value) {
    return QString::number(value, 'g', 6);
}

constexpr double metresPerMicrometre = 1e-6;

} // namespace

CantileverStructure::CantileverStructure(std::vector<EnvelopePtr> beams,
                                         Metrology::CellEdges cellEdges, ConstantsOf constantsOf)
    : beams(std::move(beams)), cellEdges(cellEdges),
      constantsOf(constantsOf ? std::move(constantsOf) : ConstantsOf(registryConstants)) {}

double CantileverStructure::massOf(const RectangularCuboidEnvelope& beam,
                                   const Metrology::CellEdges& edges, const Constants& constants) {
    const double cellVolume = edges.cellVolume() * std::pow(metresPerMicrometre, 3);
    return double(beam.sizeX) * beam.sizeY * beam.sizeZ * cellVolume * constants.density * 33.0 /
           140.0;
}

double CantileverStructure::complianceOf(const RectangularCuboidEnvelope& beam,
                                         const Metrology::CellEdges& edges,
                                         const Constants& constants) {
    // Lengths in metres: the mass above is in physical units, so the stiffness must be too.
    // Cells need not be cubes, so the beam's length is the longer of its two sides as
    // measured, not as counted.
    const double alongX = beam.sizeX * edges.x * metresPerMicrometre;
    const double alongY = beam.sizeY * edges.y * metresPerMicrometre;
    const double length = std::max(alongX, alongY);
    const double width = std::min(alongX, alongY);
    const double thickness = beam.sizeZ * edges.z * metresPerMicrometre;
    const double secondMoment = thickness * thickness * thickness * width / 12.0;
    return 1.0 / (3.0 * constants.youngModulus * secondMoment / (length * length * length));
}

QString CantileverStructure::netlist() const {
    QString text = QStringLiteral("Model extracted by Cellvane\n");
    int n = 0;
    for (const EnvelopePtr& beam : beams) {
        ++n;
        const Constants constants = constantsOf(beam->material);
        if (!usable(constants)) {
            // A material without density or stiffness would give a zero mass or an infinite
            // compliance, which no simulator takes; say so where the beam would be.
            text += QStringLiteral("* beam %1: material %2 has no positive density and Young "
                                   "modulus; left out\n")
                        .arg(n)
                        .arg(beam->material);
            continue;
        }
        text += QStringLiteral("c%1 %2 0 %3 \n")
                    .arg(n)
                    .arg(n)
                    .arg(number(massOf(*beam, cellEdges, constants)));
        text += QStringLiteral("l%1 %2 0 %3 \n")
                    .arg(n)
                    .arg(n)
                    .arg(number(complianceOf(*beam, cellEdges, constants)));
    }
    text += QStringLiteral(".end \n");
    return text;
}

} // namespace Model::ModelExtraction
