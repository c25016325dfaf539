#include "Model/Metrology/scale.h"
#include "Model/ModelExtraction/mechanicsreport.h"
#include "support/cantileverscenes.h"
#include "support/qtprinters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>

namespace CELLVANE_TEST_FILE {

using namespace Model::ModelExtraction;
using Mechanics::Clamping;
using testing_support::makeVolume;

namespace {

constexpr double um = 1e-6;
constexpr double eps0 = 8.8541878128e-12;

MechanicsReport::Constants poly() {
    MechanicsReport::Constants c;
    c.name = QStringLiteral("poly");
    c.density = 2330;
    c.youngModulus = 160e9;
    c.poissonRatio = 0.22;
    return c;
}

} // namespace

// Each closed form against a case worked out by hand from the cited paper's formula.
TEST(Mechanics, ClosedFormsAgreeWithHandWorkedCases) {
    // Mastrangelo-Hsu, cantilever: l_d = (3 E t^3 h^2 / (8 gamma_s))^(1/4). E = 160 GPa,
    // t = h = 2 um, gamma_s = 0.073 J/m^2: 3 * 160e9 * 8e-18 * 4e-12 / 0.584 = 2.6301e-17,
    // whose fourth root is 71.61 um.
    const double cantileverLd =
        Mechanics::detachmentLength(Clamping::Cantilever, 160e9, 2 * um, 2 * um, 0.073);
    EXPECT_NEAR(cantileverLd / um, 71.61, 0.01);
    // At that length the peel number is one; at half of it 2^4 = 16.
    EXPECT_NEAR(
        Mechanics::peelNumber(Clamping::Cantilever, 160e9, 2 * um, 2 * um, cantileverLd, 0.073),
        1.0, 1e-9);
    EXPECT_NEAR(
        Mechanics::peelNumber(Clamping::Cantilever, 160e9, 2 * um, 2 * um, cantileverLd / 2, 0.073),
        16.0, 1e-9);
    // Clamped at both ends, N_p = 128 E t^3 h^2 / (5 gamma_s l^4): the detachment length is
    // longer by (128 / 5 * 8 / 3)^(1/4) = 68.267^(1/4) = 2.8744.
    EXPECT_NEAR(
        Mechanics::detachmentLength(Clamping::ClampedClamped, 160e9, 2 * um, 2 * um, 0.073) /
            cantileverLd,
        2.8744, 1e-4);

    // Timoshenko with equal layers (m = n = 1): 1/R = 6 * 4 d_eps / (h (12 + 2 * 2)) =
    // 3 d_eps / (2 h). Bottom 100 MPa compressive, top stress-free, E = 100 GPa, nu = 0:
    // d_eps = 1e-3, h = 2 um, so 1/R = 750 /m and a 100 um cantilever rises 3.75 um.
    Mechanics::Layer bottom{1 * um, 100e9, 0.0, -100e6, 0};
    Mechanics::Layer top{1 * um, 100e9, 0.0, 0.0, 0};
    const double equal = Mechanics::bilayerCurvature(bottom, top);
    EXPECT_NEAR(equal, 750.0, 7.5);
    EXPECT_NEAR(Mechanics::tipDeflection(equal, 100 * um) / um, 3.75, 0.0375);
    // m = t1/t2 = 2, n = E1/E2 = 0.5: 1/R = 6 * 9 d_eps / (h (27 + 2 * 5)) = 54 d_eps / (37 h).
    // Top 50 MPa tensile, nu = 0.25, E2 = 100 GPa: d_eps = 0 - (-50e6 * 0.75 / 100e9) = 3.75e-4,
    // h = 3 um: 1/R = 182.43 /m.
    bottom = {2 * um, 50e9, 0.25, 0, 0};
    top = {1 * um, 100e9, 0.25, 50e6, 0};
    EXPECT_NEAR(Mechanics::bilayerCurvature(bottom, top), 182.43, 1.82);
    // Swapping the stack turns the curl over.
    EXPECT_NEAR(Mechanics::bilayerCurvature(top, bottom), -182.43, 1.82);
    // Single layer: Gamma = 10 MPa/um = 1e13 Pa/m, E = 160 GPa, nu = 0.2: 1/R = 50 /m.
    EXPECT_NEAR(Mechanics::gradientCurvature(1e13, 160e9, 0.2), 50.0, 1e-9);

    // Stoney: 100 MPa, 1 um film on 500 um of E/(1 - nu) = 180 GPa: 1/R = 6e2 / (180e9 *
    // 2.5e-7) = 0.013333 /m; a 100 mm wafer bows 0.013333 * 0.01 / 8 = 16.67 um.
    const double stoney =
        Mechanics::stoneyCurvature({{1 * um, 0, 0, 100e6, 0}}, 500 * um, 144e9, 0.2);
    EXPECT_NEAR(Mechanics::bow(stoney, 0.1) / um, 16.667, 0.167);

    // Pull-in: k = 1 N/m, g = 2 um, A = 1e-8 m^2: 8 * 8e-18 / (27 * eps0 * 1e-8) = 26.77 V^2.
    EXPECT_NEAR(Mechanics::pullInVoltage(1.0, 2 * um, 1e-8), 5.174, 0.0517);

    // Euler-Bernoulli: a 100 um, 2 um thick poly cantilever rings at
    // 1.8751^2 / (2 pi l^2) * t sqrt(E / (12 rho)) = 55.96e6 * 2e-6 * 2391 = 267.6 kHz.
    EXPECT_NEAR(Mechanics::resonance(Clamping::Cantilever, 160e9, 2330, 100 * um, 10 * um, 2 * um) /
                    1e3,
                267.6, 0.3);
}

// Four cantilevers of 40, 60, 80 and 100 cells over a conducting substrate, 2 cells thick
// across a 2-cell gap: the two longer than the detachment length stick, the others do not.
TEST(MechanicsReport, CantileverArrayStickingAndPullInFollowTheClosedForms) {
    const int lengths[] = {40, 60, 80, 100};
    constexpr int substrate = 14, anchor = 1, beam = 16;
    const auto volume = makeVolume(110, 16, 10, [&](int x, int y, int z) {
        if (z < 4)
            return substrate;
        if (z < 6)
            return x < 6 ? anchor : 0;
        const int row = y / 4;
        if (z < 8 && y % 4 < 2 && x < 6 + lengths[row])
            return beam;
        return 0;
    });
    const auto constantsOf = [](std::uint32_t id) {
        MechanicsReport::Constants c = poly();
        c.conductor = id == 14;
        return c;
    };
    const std::optional<MechanicsReport> report = MechanicsReport::of(*volume, {}, constantsOf);
    ASSERT_EQ(report->beams.size(), 4u);

    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(*volume);
    const double t = 2 * edges.z * um, h = 2 * edges.z * um, w = 2 * edges.y * um;
    const double ld = std::pow(3 * 160e9 * t * t * t * h * h / (8 * 0.073), 0.25);
    int sticking = 0;
    for (const MechanicsReport::Beam& b : report->beams) {
        const double l = b.length;
        SCOPED_TRACE(l / um);
        EXPECT_EQ(b.kind, Clamping::Cantilever);
        EXPECT_NEAR(b.thickness, t, 1e-12);
        EXPECT_NEAR(b.width, w, 1e-12);
        ASSERT_TRUE(b.gap);
        EXPECT_NEAR(*b.gap, h, 1e-12);
        EXPECT_EQ(b.materialBelow, 14u);
        ASSERT_TRUE(b.detachmentLength);
        EXPECT_NEAR(*b.detachmentLength, ld, edges.x * um);
        EXPECT_EQ(b.sticks, l > ld);
        sticking += b.sticks;
        const double k = 3 * 160e9 * (w * t * t * t / 12) / (l * l * l);
        EXPECT_NEAR(b.stiffness, k, k * 1e-9);
        ASSERT_TRUE(b.pullInVoltage);
        const double v = std::sqrt(8 * k * h * h * h / (27 * eps0 * l * w));
        EXPECT_NEAR(*b.pullInVoltage, v, v * 0.01);
    }
    EXPECT_EQ(sticking, 2);

    const QJsonObject json = QJsonDocument::fromJson(report->toJson()).object();
    const QJsonArray beams = json.value(QStringLiteral("beams")).toArray();
    ASSERT_EQ(beams.size(), 4);
    for (const char* key :
         {"kind", "length_um", "width_um", "thickness_um", "gap_um", "stiffness_N_per_m",
          "resonance_Hz", "peel_number", "detachment_length_um", "sticks", "tip_deflection_um",
          "pull_in_voltage_V"})
        EXPECT_TRUE(beams[0].toObject().contains(QLatin1String(key))) << key;
    EXPECT_TRUE(json.contains(QStringLiteral("wafer_bow_um")));
}

// The same plate held at both ends is one clamped-clamped beam, not two cantilevers; over an
// insulator it has no pull-in voltage, and a stress gradient does not curl it.
TEST(MechanicsReport, BridgeOverAnInsulatorAndWaferBow) {
    const auto volume = testing_support::anchoredPlate(30, 10, 16, true);
    const auto constantsOf = [](std::uint32_t id) {
        MechanicsReport::Constants c = poly();
        c.stressGradient = 1e13;
        // The anchor silicon is the substrate; the plate's film pulls with 100 MPa.
        c.stress = id == 16 ? 100e6 : 0;
        return c;
    };
    const std::optional<MechanicsReport> report = MechanicsReport::of(*volume, {}, constantsOf);
    ASSERT_EQ(report->beams.size(), 1u);
    const MechanicsReport::Beam& b = report->beams.front();
    const Model::Metrology::CellEdges edges = Model::Metrology::CellEdges::of(*volume);
    EXPECT_EQ(b.kind, Clamping::ClampedClamped);
    EXPECT_NEAR(b.length, 30 * edges.x * um, 1e-12);
    ASSERT_TRUE(b.gap);
    EXPECT_NEAR(*b.gap, 3 * edges.z * um, 1e-12);
    EXPECT_FALSE(b.pullInVoltage);
    EXPECT_EQ(b.tipDeflection, 0.0);
    const double t = 2 * edges.z * um, w = 10 * edges.y * um, l = 30 * edges.x * um;
    EXPECT_NEAR(b.stiffness, 192 * 160e9 * w * t * t * t / 12 / (l * l * l), 1e-9);

    // The plate covers the whole 50 x 10 area 2 cells thick; Stoney on the default 525 um,
    // 100 mm wafer of the poly constants.
    const double film = 2 * edges.z * um;
    const double curvature = 6 * (1 - 0.22) * 100e6 * film / (160e9 * 525e-6 * 525e-6);
    const double bow = curvature * 0.1 * 0.1 / 8;
    EXPECT_NEAR(report->waferBow, bow, bow * 0.01);
}

} // namespace CELLVANE_TEST_FILE
