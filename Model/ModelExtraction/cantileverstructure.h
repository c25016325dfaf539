#pragma once

#include "Model/Metrology/scale.h"
#include "Model/ModelExtraction/istructure.h"
#include "Model/ModelExtraction/rectangularcuboidenvelope.h"

#include <functional>
#include <vector>

namespace Model::ModelExtraction {

// Free-standing beams, each modelled by its first bending mode as a mass-spring pair: a
// capacitor holding the effective mass (33/140 of the beam's mass) and an inductor holding
// the compliance of an end-loaded cantilever (L^3 / (3 E I), bending across the thickness).
// One beam n gives the elements cn and ln between node n and ground.
class CantileverStructure : public IStructure {
public:
    struct Constants {
        double density = 0;      // kg/m^3
        double youngModulus = 0; // Pa
    };
    // The constants of a material id; by default the material registry's.
    using ConstantsOf = std::function<Constants(std::uint32_t material)>;

    // `cellEdges` are the µm edges of the cells the beams are counted in.
    CantileverStructure(std::vector<EnvelopePtr> beams, Metrology::CellEdges cellEdges,
                        ConstantsOf constantsOf = {});

    QString netlist() const override;

    const std::vector<EnvelopePtr>& getBeams() const { return beams; }
    Metrology::CellEdges getCellEdges() const { return cellEdges; }

    // In kilograms and metres per newton.
    static double massOf(const RectangularCuboidEnvelope& beam, const Metrology::CellEdges& edges,
                         const Constants& constants);
    static double complianceOf(const RectangularCuboidEnvelope& beam,
                               const Metrology::CellEdges& edges, const Constants& constants);

private:
    std::vector<EnvelopePtr> beams;
    Metrology::CellEdges cellEdges;
    ConstantsOf constantsOf;
};

} // namespace Model::ModelExtraction
