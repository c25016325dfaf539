#include "Model/Automaton/crystalframe.h"

#include <cmath>
#include <cstring>

namespace Model::Automaton {

namespace {

// Bond directions in the cube's axes, quarter lattice constants; by sublattice and slot.
constexpr int cubeBond[2][4][3] = {{{1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, 1, 1}},
                                   {{-1, -1, -1}, {1, 1, -1}, {1, -1, 1}, {-1, 1, 1}}};

CrystalFrame surface100() {
    // The tables the lattice has always used, as they stand: (100) lattices stay bit for bit
    // what they were. derive() gives the same partners and bonds (a test checks it).
    CrystalFrame frame{};
    for (double& e : frame.edge)
        e = 1.0;
    frame.turn = 45.0;
    std::memcpy(frame.siteOffset, SiCell::siteOffset, sizeof(frame.siteOffset));
    for (unsigned s = 0; s < 8; ++s)
        frame.layer[s] = std::uint8_t(s >> 1);
    std::memcpy(frame.partners, SiCell::partners(), sizeof(frame.partners));
    std::memcpy(frame.bond, SiCell::rotatedBond, sizeof(frame.bond));
    return frame;
}

CrystalFrame surface110() {
    CrystalFrame frame{};
    const double root2 = std::sqrt(2.0);
    frame.edge[0] = 1.0 / root2;
    frame.edge[1] = 1.0;
    frame.edge[2] = root2;
    frame.turn = 0.0;
    // One A and one B atom on each layer; an A atom of one layer bonds to the B atom of the
    // layer above straight up the cell, and to two B atoms of its own layer.
    const double sites[8][3] = {{0.0, 0.0, 0.0},   {0.5, 0.5, 0.25}, {0.5, 0.75, 0.0},
                                {0.0, 0.25, 0.25}, {0.0, 0.0, 0.5},  {0.5, 0.5, 0.75},
                                {0.5, 0.75, 0.5},  {0.0, 0.25, 0.75}};
    std::memcpy(frame.siteOffset, sites, sizeof(sites));
    const std::uint8_t layers[8] = {0, 1, 0, 1, 2, 3, 2, 3};
    std::memcpy(frame.layer, layers, sizeof(layers));
    const double h = 1.0 / root2;
    const double cubeToCell[3][3] = {{h, -h, 0.0}, {0.0, 0.0, 1.0}, {h, h, 0.0}};
    frame.derive(cubeToCell);
    return frame;
}

} // namespace

const CrystalFrame& CrystalFrame::of(CrystalOrientation orientation) {
    static const CrystalFrame frame100 = surface100();
    static const CrystalFrame frame110 = surface110();
    return orientation == CrystalOrientation::Surface110 ? frame110 : frame100;
}

bool CrystalFrame::derive(const double cubeToCell[3][3]) {
    const double radians = turn * (std::acos(0.0) / 90.0);
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    double inCell[2][4][3];
    for (int sub = 0; sub < 2; ++sub)
        for (int slot = 0; slot < 4; ++slot) {
            double* w = inCell[sub][slot];
            for (int a = 0; a < 3; ++a)
                w[a] = (cubeToCell[a][0] * cubeBond[sub][slot][0] +
                        cubeToCell[a][1] * cubeBond[sub][slot][1] +
                        cubeToCell[a][2] * cubeBond[sub][slot][2]) /
                       4.0;
            bond[sub][slot][0] = w[0] * c - w[1] * s;
            bond[sub][slot][1] = w[0] * s + w[1] * c;
            bond[sub][slot][2] = w[2];
        }
    for (unsigned site = 0; site < 8; ++site) {
        const int sub = int((site >> 1) & 1u);
        for (unsigned slot = 0; slot < 4; ++slot) {
            bool found = false;
            for (unsigned other = 0; other < 8 && !found; ++other) {
                if (int((other >> 1) & 1u) == sub)
                    continue;
                long long cell[3];
                bool onSite = true;
                for (int a = 0; a < 3 && onSite; ++a) {
                    const double d =
                        siteOffset[site][a] + inCell[sub][slot][a] / edge[a] - siteOffset[other][a];
                    cell[a] = std::llround(d);
                    onSite = std::abs(d - double(cell[a])) < 1e-9 && std::llabs(cell[a]) <= 1;
                }
                if (onSite) {
                    partners[site][slot] = {std::uint8_t(other), std::int8_t(cell[0]),
                                            std::int8_t(cell[1]), std::int8_t(cell[2])};
                    found = true;
                }
            }
            if (!found)
                return false;
        }
    }
    return true;
}

} // namespace Model::Automaton
