#include "Model/ModelExtraction/mechanicsreport.h"

#include "Model/Automaton/cellarrayslock.h"
#include "Model/Automaton/cellgrid.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Materials/materialfactory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
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

using Mechanics::Clamping;

constexpr double metresPerMicrometre = 1e-6;
constexpr double pascalsPerMegapascal = 1e6;

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

namespace {

// The lowest stack of solid cells of a column that hangs over empty space: cells [bottom, top),
// with the material of each layer from the bottom.
struct Hanging {
    int bottom = 0, top = 0;
    std::vector<std::pair<std::uint32_t, int>> layers; // material, cells
    bool operator==(const Hanging& o) const {
        return bottom == o.bottom && top == o.top && layers == o.layers;
    }
    bool operator!=(const Hanging& o) const { return !(*this == o); }
};

std::optional<Hanging> hangingAt(const Automaton::CellGrid& grid, int x, int y) {
    for (int z = 1; z < grid.sizeZ; ++z) {
        if (grid.material(x, y, z) == 0 || grid.material(x, y, z - 1) != 0)
            continue;
        Hanging h;
        h.bottom = z;
        while (z < grid.sizeZ && grid.material(x, y, z) != 0) {
            const std::uint32_t id = grid.material(x, y, z);
            if (h.layers.empty() || h.layers.back().first != id)
                h.layers.push_back({id, 0});
            ++h.layers.back().second;
            ++z;
        }
        h.top = z;
        return h;
    }
    return std::nullopt;
}

// A run of hanging columns along one row, and which of its ends are held.
struct Run {
    int row = 0, from = 0, to = 0; // columns [from, to) along the axis
    bool heldLow = false, heldHigh = false;
    Hanging stack;
};

} // namespace

MechanicsReport MechanicsReport::of(const Automaton::CellGrid& grid,
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
    if (grid.sizeX <= 0 || grid.sizeY <= 0 || grid.sizeZ <= 0)
        return report;

    std::vector<std::optional<Hanging>> hanging(std::size_t(grid.sizeX) * grid.sizeY);
    const auto at = [&](int x, int y) -> const std::optional<Hanging>& {
        return hanging[std::size_t(x) * grid.sizeY + y];
    };
    for (int x = 0; x < grid.sizeX; ++x)
        for (int y = 0; y < grid.sizeY; ++y)
            hanging[std::size_t(x) * grid.sizeY + y] = hangingAt(grid, x, y);

    for (int axis = 0; axis < 2; ++axis) {
        const int length = axis == 0 ? grid.sizeX : grid.sizeY;
        const int rows = axis == 0 ? grid.sizeY : grid.sizeX;
        const auto cell = [&](int row, int c) {
            return axis == 0 ? std::pair<int, int>{c, row} : std::pair<int, int>{row, c};
        };
        // Held: the column beyond the run's end holds solid cells all through its height.
        const auto held = [&](int row, int c, const Hanging& h) {
            if (c < 0 || c >= length)
                return false;
            const auto [x, y] = cell(row, c);
            for (int z = h.bottom; z < h.top; ++z)
                if (grid.material(x, y, z) == 0)
                    return false;
            return true;
        };
        std::vector<Run> runs;
        for (int row = 0; row < rows; ++row) {
            for (int c = 0; c < length;) {
                const auto [x, y] = cell(row, c);
                const std::optional<Hanging>& h = at(x, y);
                if (!h) {
                    ++c;
                    continue;
                }
                int end = c + 1;
                while (end < length) {
                    const auto [nx, ny] = cell(row, end);
                    if (!at(nx, ny) || *at(nx, ny) != *h)
                        break;
                    ++end;
                }
                Run run{row, c, end, held(row, c - 1, *h), held(row, end, *h), *h};
                if (run.heldLow || run.heldHigh)
                    runs.push_back(run);
                c = end;
            }
        }
        // Neighbouring rows with the same run are one beam.
        std::vector<bool> used(runs.size(), false);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (used[i])
                continue;
            used[i] = true;
            const Run& first = runs[i];
            int lastRow = first.row, from = first.from, to = first.to;
            for (std::size_t j = i + 1; j < runs.size(); ++j) {
                const Run& r = runs[j];
                if (used[j] || r.row != lastRow + 1 || r.stack != first.stack ||
                    r.heldLow != first.heldLow || r.heldHigh != first.heldHigh)
                    continue;
                const bool sameFree =
                    first.heldLow && first.heldHigh
                        ? std::abs(r.from - first.from) <= 1 && std::abs(r.to - first.to) <= 1
                    : first.heldLow ? r.to == first.to && std::abs(r.from - first.from) <= 1
                                    : r.from == first.from && std::abs(r.to - first.to) <= 1;
                if (!sameFree)
                    continue;
                used[j] = true;
                lastRow = r.row;
                from = std::min(from, r.from);
                to = std::max(to, r.to);
            }
            const double along = edges.along(axis) * metresPerMicrometre;
            const double across = edges.along(1 - axis) * metresPerMicrometre;
            const double beamLength = (to - from) * along;
            const double beamWidth = (lastRow - first.row + 1) * across;
            if (beamLength <= beamWidth)
                continue;

            Beam beam;
            beam.kind =
                first.heldLow && first.heldHigh ? Clamping::ClampedClamped : Clamping::Cantilever;
            beam.material = first.stack.layers.front().first;
            beam.layers = int(first.stack.layers.size());
            QStringList names;
            for (const auto& layer : first.stack.layers)
                names << constants(layer.first).name;
            beam.materialName = names.join(QLatin1Char('/'));
            beam.length = beamLength;
            beam.width = beamWidth;
            beam.thickness = (first.stack.top - first.stack.bottom) * edges.z * metresPerMicrometre;

            // Look down every column of the footprint to the first solid cell.
            std::map<int, long> gaps;
            std::map<std::uint32_t, int> below;
            long conductorColumns = 0;
            for (int row = first.row; row <= lastRow; ++row)
                for (int c = from; c < to; ++c) {
                    const auto [x, y] = cell(row, c);
                    int z = first.stack.bottom - 1;
                    while (z >= 0 && grid.material(x, y, z) == 0)
                        --z;
                    if (z < 0)
                        continue;
                    const std::uint32_t id = grid.material(x, y, z);
                    ++gaps[first.stack.bottom - 1 - z];
                    ++below[id];
                    if (constants(id).conductor)
                        ++conductorColumns;
                }
            // The gap most of the beam has: where the etch left a sliver below the held end,
            // the least gap would speak for that sliver only.
            if (!gaps.empty())
                beam.gap = std::max_element(
                               gaps.begin(), gaps.end(),
                               [](const auto& a, const auto& b) { return a.second < b.second; })
                               ->first *
                           edges.z * metresPerMicrometre;
            if (!below.empty())
                beam.materialBelow =
                    std::max_element(below.begin(), below.end(), [](const auto& a, const auto& b) {
                        return a.second < b.second;
                    })->first;
            beam.electrodeArea =
                conductorColumns * edges.x * edges.y * metresPerMicrometre * metresPerMicrometre;

            // The composite section: bending stiffness about its neutral axis, mass per length.
            std::vector<Mechanics::Layer> layers;
            double weighted = 0, stiffnessSum = 0, massPerArea = 0, z = 0;
            bool fit = true;
            for (const auto& [id, cells] : first.stack.layers) {
                const Constants& c = constants(id);
                if (!usable(c)) {
                    fit = false;
                    beam.problem =
                        QStringLiteral("material %1 has no positive density and Young modulus")
                            .arg(id);
                    break;
                }
                Mechanics::Layer layer{cells * edges.z * metresPerMicrometre, c.youngModulus,
                                       c.poissonRatio, c.stress, c.stressGradient};
                layers.push_back(layer);
                weighted += c.youngModulus * layer.thickness * (z + layer.thickness / 2);
                stiffnessSum += c.youngModulus * layer.thickness;
                massPerArea += c.density * layer.thickness;
                z += layer.thickness;
            }
            if (!fit) {
                report.beams.push_back(beam);
                continue;
            }
            const double neutral = weighted / stiffnessSum;
            double bending = 0; // E I per width
            z = 0;
            for (const Mechanics::Layer& layer : layers) {
                const double centre = z + layer.thickness / 2 - neutral;
                bending += layer.youngModulus * (std::pow(layer.thickness, 3) / 12.0 +
                                                 layer.thickness * centre * centre);
                z += layer.thickness;
            }
            // The homogeneous beam of the same thickness that bends and weighs alike.
            const double t = beam.thickness;
            const double modulus = 12.0 * bending / (t * t * t);
            const double density = massPerArea / t;
            beam.stiffness = Mechanics::stiffness(beam.kind, modulus, beam.length, beam.width, t);
            beam.effectiveMass =
                Mechanics::effectiveMass(beam.kind, density, beam.length, beam.width, t);
            beam.resonance =
                Mechanics::resonance(beam.kind, modulus, density, beam.length, beam.width, t);
            if (beam.gap && *beam.gap > 0) {
                beam.peelNumber = Mechanics::peelNumber(beam.kind, modulus, t, *beam.gap,
                                                        beam.length, parameters.adhesionEnergy);
                beam.detachmentLength = Mechanics::detachmentLength(
                    beam.kind, modulus, t, *beam.gap, parameters.adhesionEnergy);
                beam.sticks = *beam.peelNumber < 1.0;
                if (beam.electrodeArea > 0)
                    beam.pullInVoltage =
                        Mechanics::pullInVoltage(beam.stiffness, *beam.gap, beam.electrodeArea);
            }
            if (beam.kind == Clamping::Cantilever) {
                double curvature = 0;
                if (layers.size() == 1)
                    curvature = Mechanics::gradientCurvature(
                        layers[0].stressGradient, layers[0].youngModulus, layers[0].poissonRatio);
                else if (layers.size() == 2)
                    curvature = Mechanics::bilayerCurvature(layers[0], layers[1]);
                beam.tipDeflection = Mechanics::tipDeflection(curvature, beam.length);
            }
            report.beams.push_back(beam);
        }
    }

    // Stoney: the substrate is the material of the volume's bottom layer; every other material
    // with a residual stress is a film, of its mean thickness over the volume's area.
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
    return report;
}

MechanicsReport MechanicsReport::of(Automaton::TotalVolume& volume, const Parameters& parameters,
                                    const ConstantsOf& constantsOf) {
    const Automaton::CellArraysLock locked(volume, Automaton::CellArraysLock::Arrays::Current);
    return of(Automaton::CellGrid::of(volume, locked.materials()), Metrology::CellEdges::of(volume),
              parameters, constantsOf);
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
