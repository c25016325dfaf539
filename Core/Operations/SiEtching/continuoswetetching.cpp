#include "Core/Operations/SiEtching/continuoswetetching.h"

#include <array>

namespace Core::Operations {

using Model::Automaton::AtomId;
using Model::Automaton::noAtom;
using Model::Automaton::SiAtom;
using Model::Automaton::SiLattice;

namespace {

Q_LOGGING_CATEGORY(lcContinuousEtch, "Core/Operations/SiEtching/continuoswetetching", QtInfoMsg)

// Counts never exceed 4 first and 12 second neighbours.
constexpr unsigned maxFirst = 4;
constexpr unsigned maxSecond = 12;

struct ConfigurationLookup {
    std::array<std::int8_t, (maxFirst + 1) * (maxFirst + 1) * (maxSecond + 1) * (maxSecond + 1)>
        entries;

    static std::size_t slot(unsigned ns1, unsigned nb1, unsigned ns2, unsigned nb2) {
        return ((std::size_t(ns1) * (maxFirst + 1) + nb1) * (maxSecond + 1) + ns2) *
                   (maxSecond + 1) +
               nb2;
    }

    ConfigurationLookup() {
        entries.fill(ContinuosWetEtching::UnknownConfiguration);
        for (int c = 0; c < ContinuosWetEtching::configurationCount; ++c) {
            const auto& n = ContinuosWetEtching::configurationTable[c];
            entries[slot(n.ns1, n.nb1, n.ns2, n.nb2)] = std::int8_t(c);
        }
    }
};

const ConfigurationLookup& lookup() {
    static const ConfigurationLookup table;
    return table;
}

} // namespace

const ContinuosWetEtching::Counts
    ContinuosWetEtching::configurationTable[ContinuosWetEtching::configurationCount] = {
        {0, 3, 4, 7}, {0, 3, 6, 5}, {0, 3, 3, 7}, {0, 3, 5, 5}, {0, 3, 2, 7}, {0, 3, 4, 5},
        {0, 3, 6, 3}, {1, 2, 3, 6}, {1, 2, 2, 6}, {1, 2, 3, 5}, {1, 2, 2, 5}, {1, 2, 4, 3},
        {2, 1, 4, 5}, {2, 1, 1, 6}, {2, 1, 2, 5}, {2, 1, 4, 3}, {2, 1, 0, 6}, {2, 1, 1, 5},
        {0, 2, 5, 5}, {0, 2, 2, 6}, {0, 2, 3, 5}, {0, 2, 4, 4}, {0, 2, 3, 4}, {0, 2, 5, 2},
        {1, 1, 4, 5}, {1, 1, 2, 5}, {1, 1, 3, 4}, {1, 1, 2, 4}, {1, 1, 3, 3}, {0, 1, 6, 3},
        {0, 1, 4, 3}, {0, 1, 5, 2}, {0, 1, 6, 1}};

const double ContinuosWetEtching::rates[ContinuosWetEtching::configurationCount] = {
    0.00867, 0.00867, 0.00867, 0.00867, 0.00867, 0.00867, 0.00867, 4.115, 4.208, 6.449, 3.932,
    6.449,   5.223,   4.115,   4.115,   5.223,   4.847,   4.847,   3.188, 3.188, 3.188, 3.188,
    7.0,     7.0,     6.5,     6.5,     5.49,    5.0,     5.0,     6.0,   6.0,   6.0,   4.115};

ContinuosWetEtching::ContinuosWetEtching(Model::Automaton::TotalVolume& volume, double depth,
                                         WetEtchSides sides)
    : kernel(volume, depth, lcContinuousEtch(), sides) {}

void ContinuosWetEtching::runEtching(Util::ProgressReporter& progress) {
    Removal removal(*this);
    kernel.run(removal, progress);
}

ContinuosWetEtching::AtomicConfiguration
ContinuosWetEtching::getAtomicConfiguration(const unsigned ns1, const unsigned nb1,
                                            const unsigned ns2, const unsigned nb2) const {
    if (ns1 <= maxFirst && nb1 <= maxFirst && ns2 <= maxSecond && nb2 <= maxSecond) {
        const int found = lookup().entries[ConfigurationLookup::slot(ns1, nb1, ns2, nb2)];
        if (found != UnknownConfiguration)
            return AtomicConfiguration(found);
    }
    qCDebug(lcContinuousEtch).nospace().noquote()
        << "Unexpected configuration found (ns1, nb1, ns2, nb2): (" << ns1 << "," << nb1 << ","
        << ns2 << "," << nb2 << ")";
    return UnknownConfiguration;
}

void ContinuosWetEtching::Removal::start(SiLattice& lattice, int strips) {
    lattice.restartOccupancyOfSilicon();
    remainders.assign(std::size_t(strips), {});
}

bool ContinuosWetEtching::Removal::removes(const SiLattice& lattice, AtomId id, int strip) {
    // A present neighbour counts as bulk when it is fully bonded itself (Fixed ones always
    // are), as surface otherwise.
    auto classify = [&lattice](AtomId n, unsigned& surface, unsigned& bulk) {
        if (n == noAtom || lattice.state(n) == SiAtom::Empty)
            return;
        if (lattice.countBondedNeighbors(n) == 4)
            ++bulk;
        else
            ++surface;
    };

    unsigned ns1 = 0, nb1 = 0;
    for (unsigned j = 0; j < 4; ++j)
        classify(lattice.neighbor(id, j), ns1, nb1);
    if (ns1 + nb1 >= 4)
        return false;

    unsigned ns2 = 0, nb2 = 0;
    for (unsigned j = 0; j < 4; ++j) {
        const AtomId r = lattice.neighbor(id, j);
        if (r == noAtom)
            continue;
        // Through every linked neighbour, present or not, to its other three partners.
        for (unsigned k = 0; k < 4; ++k) {
            if (k != 3 - j)
                classify(lattice.neighbor(r, k), ns2, nb2);
        }
    }

    auto& remainder = remainders[std::size_t(strip)];
    const auto found = remainder.find(id);
    float occupancy = found == remainder.end() ? 1.0f : found->second;
    if (consumeStep(occupancy, engine.getAtomicConfiguration(ns1, nb1, ns2, nb2))) {
        if (found != remainder.end())
            remainder.erase(found);
        return true;
    }
    if (found != remainder.end())
        found->second = occupancy;
    else if (occupancy != 1.0f)
        remainder.emplace(id, occupancy);
    return false;
}

void ContinuosWetEtching::Removal::finish(SiLattice& lattice) {
    for (const auto& strip : remainders)
        for (const auto& [id, occupancy] : strip)
            lattice.setOccupancy(id, occupancy);
    remainders.clear();
}

bool ContinuosWetEtching::consumeStep(float& occupancy, AtomicConfiguration configuration) {
    // The table has no rate for an unknown neighbourhood: such an atom waits, unchanged,
    // until its neighbours change.
    if (configuration < FirstConfiguration || configuration >= configurationCount)
        return false;
    const double left = double(occupancy) - rates[configuration] * timeStep;
    if (left < 1e-6) {
        occupancy = 0.0f;
        return true;
    }
    occupancy = float(left);
    return false;
}

} // namespace Core::Operations
