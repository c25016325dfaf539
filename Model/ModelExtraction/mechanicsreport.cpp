#include "Model/ModelExtraction/mechanicsreport.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"
#include "Model/ModelExtraction/cantilevermodelrule.h"
#include "Model/ModelExtraction/cutgriddecomposition.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace Model::ModelExtraction {

namespace Mechanics {

namespace {
constexpr double pi = 3.14159265358979323846;

// The clamping's factor c of the peel number N_p = c E t^3 h^2 / (gamma_s l^4).
double peelFactor(Clamping kind) {
    return kind == Clamping::Cantilever ? 3.0 / 8.0 : 128.0 / 5.0;
}
} // namespace

double secondMoment(double width, double thickness) {
    return width * thickness * thickness * thickness / 12.0;
}

double stiffness(Clamping kind, double youngModulus, double length, double width,
                 double thickness) {
    const double factor = kind == Clamping::Cantilever ? 3.0 : 192.0;
    return factor * youngModulus * secondMoment(width, thickness) / std::pow(length, 3);
}

double resonance(Clamping kind, double youngModulus, double density, double length, double width,
                 double thickness) {
    const double lambda = kind == Clamping::Cantilever ? cantileverLambda : clampedClampedLambda;
    return lambda * lambda / (2.0 * pi * length * length) *
           std::sqrt(youngModulus * secondMoment(width, thickness) / (density * width * thickness));
}

double effectiveMass(Clamping kind, double density, double length, double width, double thickness) {
    const double share = kind == Clamping::Cantilever ? 33.0 / 140.0 : 13.0 / 35.0;
    return share * density * length * width * thickness;
}

double peelNumber(Clamping kind, double youngModulus, double thickness, double gap, double length,
                  double adhesionEnergy) {
    return peelFactor(kind) * youngModulus * std::pow(thickness, 3) * gap * gap /
           (adhesionEnergy * std::pow(length, 4));
}

double detachmentLength(Clamping kind, double youngModulus, double thickness, double gap,
                        double adhesionEnergy) {
    return std::pow(peelFactor(kind) * youngModulus * std::pow(thickness, 3) * gap * gap /
                        adhesionEnergy,
                    0.25);
}

double gradientCurvature(double stressGradient, double youngModulus, double poissonRatio) {
    return stressGradient * (1.0 - poissonRatio) / youngModulus;
}

double bilayerCurvature(const Layer& bottom, const Layer& top) {
    const auto freeStrain = [](const Layer& layer) {
        return -layer.stress * (1.0 - layer.poissonRatio) / layer.youngModulus;
    };
    const double misfit = freeStrain(bottom) - freeStrain(top);
    const double m = bottom.thickness / top.thickness;
    const double n = bottom.youngModulus / top.youngModulus;
    const double h = bottom.thickness + top.thickness;
    const double onePlusM = (1.0 + m) * (1.0 + m);
    return 6.0 * onePlusM * misfit /
           (h * (3.0 * onePlusM + (1.0 + m * n) * (m * m + 1.0 / (m * n))));
}

double tipDeflection(double curvature, double length) {
    return curvature * length * length / 2.0;
}

double stoneyCurvature(const std::vector<Layer>& films, double substrateThickness,
                       double substrateModulus, double substratePoisson) {
    double force = 0; // N/m: stress times thickness, summed
    for (const Layer& film : films)
        force += film.stress * film.thickness;
    return 6.0 * (1.0 - substratePoisson) * force /
           (substrateModulus * substrateThickness * substrateThickness);
}

double bow(double curvature, double diameter) {
    return curvature * diameter * diameter / 8.0;
}

double pullInVoltage(double stiffness, double gap, double area) {
    return std::sqrt(8.0 * stiffness * gap * gap * gap / (27.0 * vacuumPermittivity * area));
}

} // namespace Mechanics

namespace {

using Envelope = RectangularCuboidEnvelope;
using Mechanics::Clamping;

constexpr double metresPerMicrometre = 1e-6;
constexpr double pascalsPerMegapascal = 1e6;

// A box on the volume's floor stands on the wafer below it, which the volume does not show.
bool isFreeLink(const Envelope& e, int axis) {
    if (e.z == 0 || e.neighbour(Envelope::Bottom) || e.neighbour(Envelope::Top))
        return false;
    const int minus = 2 * axis;
    const int plus = minus + 1;
    return e.getNeighbourCount() == 2 && e.neighbour(minus) && e.neighbour(plus);
}

bool usable(const MechanicsReport::Constants& c) {
    return std::isfinite(c.density) && std::isfinite(c.youngModulus) && c.density > 0 &&
           c.youngModulus > 0 && std::isfinite(c.poissonRatio) && c.poissonRatio < 1.0;
}

QJsonValue optionalNumber(const std::optional<double>& value, double scale = 1.0) {
    return value && std::isfinite(*value) ? QJsonValue(*value * scale) : QJsonValue();
}

QString fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

} // namespace

MechanicsReport::Constants MechanicsReport::registryConstants(std::uint32_t material) {
    const Materials::Material m = Materials::MaterialFactory::getInstance()->getMaterial(material);
    Constants c;
    c.name = m.getName();
    c.density = m.getDensity();
    c.youngModulus = m.getYoungModulus();
    c.poissonRatio = m.getPoissonRatio();
    c.stress = double(m.getResidualStress()) * pascalsPerMegapascal;
    // MPa/µm is 1e12 Pa/m.
    c.stressGradient = double(m.getStressGradient()) * pascalsPerMegapascal / metresPerMicrometre;
    c.conductor = m.isConductor();
    return c;
}

std::vector<EnvelopePtr> MechanicsReport::findBridges(const std::vector<EnvelopePtr>& envelopes) {
    std::vector<EnvelopePtr> bridges;
    for (const EnvelopePtr& start : envelopes) {
        for (int axis = 0; axis < 2; ++axis) {
            const int minus = 2 * axis;
            const int plus = minus + 1;
            // A chain is walked once, from its box nearest the minus end.
            const Envelope* before = start->neighbour(minus);
            if (!isFreeLink(*start, axis) ||
                (before->material == start->material && isFreeLink(*before, axis)))
                continue;
            int lo[3] = {start->x, start->y, start->z};
            int hi[3] = {start->x + start->sizeX, start->y + start->sizeY, start->z + start->sizeZ};
            const Envelope* last = start.get();
            bool uniform = true;
            for (const Envelope* next = last->neighbour(plus);
                 next->material == start->material && isFreeLink(*next, axis);
                 next = next->neighbour(plus)) {
                // A chain that widens or thickens is a plate or a paddle, not a beam.
                uniform = uniform && next->sizeZ == start->sizeZ && next->z == start->z &&
                          (axis == 0 ? next->y == start->y && next->sizeY == start->sizeY
                                     : next->x == start->x && next->sizeX == start->sizeX);
                last = next;
                hi[0] = std::max(hi[0], next->x + next->sizeX);
                hi[1] = std::max(hi[1], next->y + next->sizeY);
            }
            if (!uniform)
                continue;
            // Held at both ends: by the boxes beyond the chain, which must be solid and
            // themselves supported from below or by more than the chain.
            const Envelope* left = start->neighbour(minus);
            const Envelope* right = last->neighbour(plus);
            const auto holds = [](const Envelope* end) {
                return end && (end->neighbour(Envelope::Bottom) || end->getNeighbourCount() > 1);
            };
            if (!holds(left) || !holds(right))
                continue;
            bridges.push_back(std::make_shared<Envelope>(
                lo[0], lo[1], lo[2], hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2], start->material));
        }
    }
    return bridges;
}

MechanicsReport MechanicsReport::of(const std::vector<EnvelopePtr>& cantilevers,
                                    const std::vector<EnvelopePtr>& bridges,
                                    const Automaton::CellGrid& grid,
                                    const Metrology::CellEdges& edges, const Parameters& parameters,
                                    const ConstantsOf& given) {
    const ConstantsOf constantsOf = given ? given : ConstantsOf(registryConstants);
    MechanicsReport report;
    report.parameters = parameters;
    std::map<std::uint32_t, Constants> cache;
    const auto constants = [&](std::uint32_t id) -> const Constants& {
        auto found = cache.find(id);
        if (found == cache.end())
            found = cache.emplace(id, constantsOf(id)).first;
        return found->second;
    };

    const auto add = [&](const Envelope& box, Clamping kind) {
        Beam beam;
        beam.kind = kind;
        beam.material = box.material;
        const Constants& c = constants(box.material);
        beam.materialName = c.name;
        const double alongX = box.sizeX * edges.x * metresPerMicrometre;
        const double alongY = box.sizeY * edges.y * metresPerMicrometre;
        beam.length = std::max(alongX, alongY);
        beam.width = std::min(alongX, alongY);
        beam.thickness = box.sizeZ * edges.z * metresPerMicrometre;

        // Look down every column of the footprint to the first solid cell.
        int leastGap = std::numeric_limits<int>::max();
        std::map<std::uint32_t, int> below;
        long conductorColumns = 0;
        for (int x = box.x; x < box.x + box.sizeX; ++x)
            for (int y = box.y; y < box.y + box.sizeY; ++y) {
                int z = box.z - 1;
                while (z >= 0 && grid.material(x, y, z) == 0)
                    --z;
                if (z < 0)
                    continue;
                const std::uint32_t id = grid.material(x, y, z);
                leastGap = std::min(leastGap, box.z - 1 - z);
                ++below[id];
                if (constants(id).conductor)
                    ++conductorColumns;
            }
        if (leastGap != std::numeric_limits<int>::max() && leastGap > 0)
            beam.gap = leastGap * edges.z * metresPerMicrometre;
        if (!below.empty())
            beam.materialBelow =
                std::max_element(below.begin(), below.end(), [](const auto& a, const auto& b) {
                    return a.second < b.second;
                })->first;
        beam.electrodeArea =
            conductorColumns * edges.x * edges.y * metresPerMicrometre * metresPerMicrometre;

        if (!usable(c)) {
            beam.problem = QStringLiteral("material %1 has no positive density and Young modulus")
                               .arg(box.material);
            report.beams.push_back(beam);
            return;
        }
        beam.stiffness =
            Mechanics::stiffness(kind, c.youngModulus, beam.length, beam.width, beam.thickness);
        beam.effectiveMass =
            Mechanics::effectiveMass(kind, c.density, beam.length, beam.width, beam.thickness);
        beam.resonance = Mechanics::resonance(kind, c.youngModulus, c.density, beam.length,
                                              beam.width, beam.thickness);
        if (beam.gap) {
            beam.peelNumber = Mechanics::peelNumber(kind, c.youngModulus, beam.thickness, *beam.gap,
                                                    beam.length, parameters.adhesionEnergy);
            beam.detachmentLength = Mechanics::detachmentLength(
                kind, c.youngModulus, beam.thickness, *beam.gap, parameters.adhesionEnergy);
            beam.sticks = *beam.peelNumber < 1.0;
            if (beam.electrodeArea > 0)
                beam.pullInVoltage =
                    Mechanics::pullInVoltage(beam.stiffness, *beam.gap, beam.electrodeArea);
        }
        if (kind == Clamping::Cantilever)
            beam.tipDeflection = Mechanics::tipDeflection(
                Mechanics::gradientCurvature(c.stressGradient, c.youngModulus, c.poissonRatio),
                beam.length);
        report.beams.push_back(beam);
    };
    for (const EnvelopePtr& box : cantilevers)
        add(*box, Clamping::Cantilever);
    for (const EnvelopePtr& box : bridges)
        add(*box, Clamping::ClampedClamped);

    // Stoney: the substrate is the material of the volume's bottom layer; every other material
    // with a residual stress is a film, of its mean thickness over the volume's area.
    if (grid.sizeX > 0 && grid.sizeY > 0 && grid.sizeZ > 0) {
        std::map<std::uint32_t, long> count;
        for (int x = 0; x < grid.sizeX; ++x)
            for (int y = 0; y < grid.sizeY; ++y)
                for (int z = 0; z < grid.sizeZ; ++z)
                    if (const std::uint32_t id = grid.material(x, y, z))
                        ++count[id];
        const std::uint32_t substrate = grid.material(0, 0, 0);
        std::vector<Mechanics::Layer> films;
        for (const auto& [id, cells] : count) {
            const Constants& c = constants(id);
            if (id == substrate || c.stress == 0 || !std::isfinite(c.stress))
                continue;
            Mechanics::Layer film;
            film.stress = c.stress;
            film.thickness =
                double(cells) / (double(grid.sizeX) * grid.sizeY) * edges.z * metresPerMicrometre;
            films.push_back(film);
        }
        const Constants& s = constants(substrate);
        if (!films.empty() && usable(s))
            report.waferBow =
                Mechanics::bow(Mechanics::stoneyCurvature(films, parameters.waferThickness,
                                                          s.youngModulus, s.poissonRatio),
                               parameters.waferDiameter);
    }
    return report;
}

std::optional<MechanicsReport> MechanicsReport::of(Automaton::TotalVolume& volume,
                                                   const Parameters& parameters, QString* reason,
                                                   const ConstantsOf& constantsOf) {
    const auto model = CutGridDecomposition::preprocess(volume, reason);
    if (!model)
        return std::nullopt;
    CantileverModelRule rule;
    rule.apply(model);
    const std::vector<EnvelopePtr> bridges = findBridges(model->getEnvelopes());
    const Automaton::CellArraysLock locked(volume, Automaton::CellArraysLock::Arrays::Current);
    return of(rule.getBeams(), bridges, Automaton::CellGrid::of(volume, locked.materials()),
              model->getCellEdges(), parameters, constantsOf);
}

QByteArray MechanicsReport::toJson() const {
    QJsonArray list;
    for (const Beam& b : beams) {
        QJsonObject o;
        o.insert(QStringLiteral("kind"), b.kind == Clamping::Cantilever
                                             ? QStringLiteral("cantilever")
                                             : QStringLiteral("clamped-clamped"));
        o.insert(QStringLiteral("material"), b.materialName);
        o.insert(QStringLiteral("material_id"), double(b.material));
        o.insert(QStringLiteral("length_um"), b.length / metresPerMicrometre);
        o.insert(QStringLiteral("width_um"), b.width / metresPerMicrometre);
        o.insert(QStringLiteral("thickness_um"), b.thickness / metresPerMicrometre);
        o.insert(QStringLiteral("gap_um"), optionalNumber(b.gap, 1.0 / metresPerMicrometre));
        o.insert(QStringLiteral("material_below_id"),
                 b.materialBelow ? QJsonValue(double(b.materialBelow)) : QJsonValue());
        if (!b.problem.isEmpty()) {
            o.insert(QStringLiteral("problem"), b.problem);
            list.append(o);
            continue;
        }
        o.insert(QStringLiteral("stiffness_N_per_m"), b.stiffness);
        o.insert(QStringLiteral("effective_mass_kg"), b.effectiveMass);
        o.insert(QStringLiteral("resonance_Hz"), b.resonance);
        o.insert(QStringLiteral("peel_number"), optionalNumber(b.peelNumber));
        o.insert(QStringLiteral("detachment_length_um"),
                 optionalNumber(b.detachmentLength, 1.0 / metresPerMicrometre));
        o.insert(QStringLiteral("sticks"), b.sticks);
        o.insert(QStringLiteral("tip_deflection_um"), b.tipDeflection / metresPerMicrometre);
        o.insert(QStringLiteral("electrode_area_um2"),
                 b.electrodeArea / (metresPerMicrometre * metresPerMicrometre));
        o.insert(QStringLiteral("pull_in_voltage_V"), optionalNumber(b.pullInVoltage));
        list.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("beams"), list);
    root.insert(QStringLiteral("wafer_bow_um"), waferBow / metresPerMicrometre);
    root.insert(QStringLiteral("wafer_diameter_mm"), parameters.waferDiameter * 1e3);
    root.insert(QStringLiteral("wafer_thickness_um"),
                parameters.waferThickness / metresPerMicrometre);
    root.insert(QStringLiteral("adhesion_energy_J_per_m2"), parameters.adhesionEnergy);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString MechanicsReport::table() const {
    QString text;
    QTextStream out(&text);
    out << "beam  kind             material  length  width  thick.  gap    k (N/m)     f (kHz)   "
           "N_p       l_d (um)  sticks  tip (um)  V_pi (V)\n";
    int n = 0;
    for (const Beam& b : beams) {
        ++n;
        out << QStringLiteral("%1").arg(n, -4) << "  "
            << QStringLiteral("%1").arg(
                   b.kind == Clamping::Cantilever ? "cantilever" : "clamped-clamped", -15)
            << "  " << QStringLiteral("%1").arg(b.materialName, -8) << "  "
            << QStringLiteral("%1").arg(fixed(b.length * 1e6, 1), 6) << "  "
            << QStringLiteral("%1").arg(fixed(b.width * 1e6, 1), 5) << "  "
            << QStringLiteral("%1").arg(fixed(b.thickness * 1e6, 2), 6) << "  "
            << QStringLiteral("%1").arg(b.gap ? fixed(*b.gap * 1e6, 2) : QStringLiteral("-"), 5)
            << "  ";
        if (!b.problem.isEmpty()) {
            out << b.problem << '\n';
            continue;
        }
        out << QStringLiteral("%1").arg(b.stiffness, -10, 'g', 4) << "  "
            << QStringLiteral("%1").arg(b.resonance / 1e3, -8, 'g', 4) << "  "
            << QStringLiteral("%1").arg(
                   b.peelNumber ? QString::number(*b.peelNumber, 'g', 3) : QStringLiteral("-"), -8)
            << "  "
            << QStringLiteral("%1").arg(b.detachmentLength ? fixed(*b.detachmentLength * 1e6, 1)
                                                           : QStringLiteral("-"),
                                        -8)
            << "  " << QStringLiteral("%1").arg(b.sticks ? "yes" : "no", -6) << "  "
            << QStringLiteral("%1").arg(fixed(b.tipDeflection * 1e6, 3), -8) << "  "
            << (b.pullInVoltage ? QString::number(*b.pullInVoltage, 'g', 4) : QStringLiteral("-"))
            << '\n';
    }
    out << "Wafer bow (Stoney, " << parameters.waferDiameter * 1e3 << " mm wafer, "
        << parameters.waferThickness * 1e6 << " um thick): " << fixed(waferBow * 1e6, 3) << " um\n";
    return text;
}

} // namespace Model::ModelExtraction
