#pragma once

#include "Model/Metrology/scale.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
struct CellGrid;
} // namespace Model::Automaton

namespace Model::ModelExtraction {

// What a designer asks of a beam just after the release etch, answered by closed forms from its
// extracted geometry. SI units inside; the report's fields carry their unit in their name.
//
// Bending of a rectangular beam of length l, width w, thickness t (I = w t^3 / 12):
//   stiffness     cantilever, end load         k = 3 E I / l^3
//                 clamped at both ends, centre k = 192 E I / l^3
//   resonance     Euler-Bernoulli first mode   f = lambda^2 / (2 pi l^2) sqrt(E I / (rho w t)),
//                 lambda = 1.8751 (cantilever), 4.7300 (clamped-clamped)
//   effective mass (Rayleigh, static shape)    33/140 (cantilever), 13/35 (clamped-clamped) of
//                 the beam's mass; the cantilever's is the netlist's capacitor.
//
// Stiction (Mastrangelo and Hsu, J. Microelectromech. Syst. 2 (1993) 33-43 and 44-55): the peel
// number compares the elastic energy of a beam bent down onto the substrate across the gap h
// with the adhesion energy gamma_s of the contact it would make,
//   cantilever       N_p = 3 E t^3 h^2 / (8 gamma_s l^4)
//   clamped-clamped  N_p = 128 E t^3 h^2 / (5 gamma_s l^4)
// A beam with N_p < 1 is at risk of sticking when the rinse liquid dries; the detachment length
// is the l at which N_p = 1. gamma_s = gamma_la cos(theta): by default water (gamma_la =
// 73 mJ/m^2) on a hydrophilic, freshly released SiO2 or Si surface, taken as fully wetting
// (theta = 0), so gamma_s = 73 mJ/m^2 -- the worst case of a hydrophilic rinse.
//
// Curl from residual stress. A film's in-plane stress sigma is biaxial, so released it relaxes by
// the strain sigma (1 - nu) / E; the beam then bends with its uniaxial E.
//   one layer with a stress gradient Gamma = d sigma / dz: curvature 1/R = Gamma (1 - nu) / E;
//   two layers (Timoshenko, J. Opt. Soc. Am. 11 (1925) 233), bottom layer 1 and top layer 2,
//     m = t1/t2, n = E1/E2, h = t1 + t2, misfit d_eps = eps1 - eps2 of the free strains
//     eps_i = -sigma_i (1 - nu_i) / E_i:
//       1/R = 6 (1 + m)^2 d_eps / (h [3 (1 + m)^2 + (1 + m n) (m^2 + 1 / (m n))]).
//   A cantilever's tip then rises by l^2 / (2 R); positive is away from the substrate (a top
//   more tensile than the bottom curls up).
//
// Wafer bow (Stoney, Proc. R. Soc. Lond. A 82 (1909) 172): films of stress sigma_f and
// thickness t_f on a substrate of thickness t_s, modulus E_s and ratio nu_s bend it to
//   1/R = 6 (1 - nu_s) sum(sigma_f t_f) / (E_s t_s^2),
// and a wafer of diameter D bows by D^2 / (8 R) (positive: tensile films, the film side concave).
//
// Pull-in of a beam over a conducting electrode across the gap g, overlap area A (parallel
// plates, e.g. Senturia, Microsystem Design, 2001): V_pi = sqrt(8 k g^3 / (27 eps0 A)).
namespace Mechanics {

enum class Clamping { Cantilever, ClampedClamped };

constexpr double vacuumPermittivity = 8.8541878128e-12; // F/m
constexpr double waterSurfaceTension = 0.073;           // J/m^2
constexpr double cantileverLambda = 1.875104068711961;
constexpr double clampedClampedLambda = 4.730040744862704;

double secondMoment(double width, double thickness);
double stiffness(Clamping kind, double youngModulus, double length, double width, double thickness);
double resonance(Clamping kind, double youngModulus, double density, double length, double width,
                 double thickness);
double effectiveMass(Clamping kind, double density, double length, double width, double thickness);
double peelNumber(Clamping kind, double youngModulus, double thickness, double gap, double length,
                  double adhesionEnergy);
double detachmentLength(Clamping kind, double youngModulus, double thickness, double gap,
                        double adhesionEnergy);
// Curvature (1/m) of a released single layer with a stress gradient (Pa/m).
double gradientCurvature(double stressGradient, double youngModulus, double poissonRatio);

struct Layer {
    double thickness = 0;    // m
    double youngModulus = 0; // Pa
    double poissonRatio = 0;
    double stress = 0;         // Pa, mean, tensile positive
    double stressGradient = 0; // Pa/m, towards the top
};
// Timoshenko's curvature of a released bilayer, `bottom` under `top`.
double bilayerCurvature(const Layer& bottom, const Layer& top);
// Rise of a cantilever's tip with the curvature `curvature` over `length`.
double tipDeflection(double curvature, double length);
// Stoney's curvature of a substrate under films, each given by its stress and thickness.
double stoneyCurvature(const std::vector<Layer>& films, double substrateThickness,
                       double substrateModulus, double substratePoisson);
double bow(double curvature, double diameter);
double pullInVoltage(double stiffness, double gap, double area);

} // namespace Mechanics

// The mechanics of every beam a volume's extraction finds, and the bow its films give the wafer.
struct MechanicsReport {
    struct Parameters {
        double adhesionEnergy = Mechanics::waterSurfaceTension; // J/m^2
        double waferDiameter = 100e-3;                          // m
        double waferThickness = 525e-6;                         // m
    };

    // The constants of a material id the report needs; by default the material registry's.
    struct Constants {
        QString name;
        double density = 0;      // kg/m^3
        double youngModulus = 0; // Pa
        double poissonRatio = 0;
        double stress = 0;         // Pa
        double stressGradient = 0; // Pa/m
        bool conductor = false;
    };
    using ConstantsOf = std::function<Constants(std::uint32_t material)>;
    static Constants registryConstants(std::uint32_t material);

    struct Beam {
        Mechanics::Clamping kind = Mechanics::Clamping::Cantilever;
        // The bottom layer's material; `materialName` names every layer, bottom first.
        std::uint32_t material = 0;
        QString materialName;
        int layers = 1;
        double length = 0, width = 0, thickness = 0; // m
        // Empty cells under the beam's footprint down to the first solid one (the height most
        // of its columns have); nothing when the beam hangs over the volume's bottom.
        std::optional<double> gap;
        std::uint32_t materialBelow = 0;
        // Footprint area over a conductor, m^2.
        double electrodeArea = 0;
        double stiffness = 0, effectiveMass = 0, resonance = 0;
        std::optional<double> peelNumber, detachmentLength;
        bool sticks = false;
        double tipDeflection = 0; // m; clamped-clamped beams report 0
        std::optional<double> pullInVoltage;
        // Set when the material lacks the constants for any of the above.
        QString problem;
    };

    std::vector<Beam> beams;
    double waferBow = 0; // m
    Parameters parameters;

    // The beams of `grid`, whose cells have the µm edges `edges`. A beam is found on the cells
    // rather than on the boxes of the netlist's extraction, so that a beam cut lengthwise into
    // strips by the cuts of its neighbours is still one beam: along each row of cells (x, then
    // y) the lowest stack of solid cells that hangs over empty space is followed as long as
    // its cells stay the same; a run held at one end by solid cells at its own height is a
    // cantilever, one held at both ends is clamped at both; neighbouring rows with the same
    // run (the free end alike, the held end within a cell) form one beam, as wide as they are
    // and as long as the longest, when longer than it is wide. A stack of several materials is
    // one composite beam (bending stiffness of the transformed section); two layers curl by
    // Timoshenko's formula.
    static MechanicsReport of(const Automaton::CellGrid& grid, const Metrology::CellEdges& edges,
                              const Parameters& parameters, const ConstantsOf& constantsOf = {});
    // The same on a volume, under its cell lock.
    static MechanicsReport of(Automaton::TotalVolume& volume, const Parameters& parameters,
                              const ConstantsOf& constantsOf = {});

    QByteArray toJson() const;
    // The report as a text table with the wafer's bow under it.
    QString table() const;
};

} // namespace Model::ModelExtraction
