#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/continuoswetetching.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Core::Operations::ContinuosWetEtching;
using Model::Automaton::AtomId;
using Model::Automaton::SiAtom;
using Model::Automaton::TotalVolume;
using namespace testing_support;

namespace {

QStringList capturedMessages;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    capturedMessages << message;
}

// Occupancies and states of the atoms whose positions satisfy `where`.
template <class Where> std::vector<SiAtom> atomsWhere(TotalVolume& volume, Where where) {
    const auto lattice = volume.getSiLattice();
    std::vector<SiAtom> found;
    for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
        if (lattice->atom(id).cellIndex >= 0 && where(lattice->atomPosition(id)))
            found.push_back(lattice->atom(id));
    }
    return found;
}

bool inMiddle(const Util::Vector3D& p) {
    return p.x > 6 && p.x < 14 && p.y > 6 && p.y < 14;
}

} // namespace

TEST(ContinuousWetEtch, ConfigurationTableLookups) {
    QuietEtching quiet;
    auto volume = flatSilicon(2, 2, 2, 1);
    const ContinuosWetEtching engine(*volume, 1.0);
    EXPECT_EQ(engine.getAtomicConfiguration(0, 3, 4, 7), 0);
    EXPECT_EQ(engine.getAtomicConfiguration(0, 3, 6, 3), 6);
    EXPECT_EQ(engine.getAtomicConfiguration(1, 2, 2, 5), 10);
    EXPECT_EQ(engine.getAtomicConfiguration(0, 2, 4, 4), 21);
    EXPECT_EQ(engine.getAtomicConfiguration(0, 2, 5, 2), 23);
    EXPECT_EQ(engine.getAtomicConfiguration(0, 1, 6, 1), 32);
    EXPECT_DOUBLE_EQ(ContinuosWetEtching::rates[0], 0.00867);
    EXPECT_DOUBLE_EQ(ContinuosWetEtching::rates[21], 3.188);
    EXPECT_DOUBLE_EQ(ContinuosWetEtching::rates[32], 4.115);
    // Every listed combination maps back to its own row.
    for (int c = 0; c < ContinuosWetEtching::configurationCount; ++c) {
        const auto& n = ContinuosWetEtching::configurationTable[c];
        EXPECT_EQ(engine.getAtomicConfiguration(n.ns1, n.nb1, n.ns2, n.nb2), c);
    }
}

TEST(ContinuousWetEtch, UnknownCombinationIsLoggedAndReported) {
    auto volume = flatSilicon(2, 2, 2, 1);
    const ContinuosWetEtching engine(*volume, 1.0);
    QLoggingCategory::setFilterRules(
        QStringLiteral("Core/Operations/SiEtching/continuoswetetching.debug=true"));
    capturedMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const auto unknown = engine.getAtomicConfiguration(0, 1, 0, 0);
    const auto outOfRange = engine.getAtomicConfiguration(9, 9, 99, 99);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QString());

    EXPECT_EQ(unknown, ContinuosWetEtching::UnknownConfiguration);
    EXPECT_EQ(int(unknown), 33);
    EXPECT_EQ(outOfRange, ContinuosWetEtching::UnknownConfiguration);
    ASSERT_EQ(capturedMessages.size(), 2);
    EXPECT_EQ(capturedMessages[0],
              QStringLiteral("Unexpected configuration found (ns1, nb1, ns2, nb2): (0,1,0,0)"));
}

TEST(ContinuousWetEtch, RateArithmetic) {
    // Steps until an atom that stays in one configuration is removed.
    auto stepsToRemove = [](int configuration) {
        float occupancy = 1.0f;
        for (int step = 1; step <= 2000; ++step) {
            if (ContinuosWetEtching::consumeStep(
                    occupancy, ContinuosWetEtching::AtomicConfiguration(configuration))) {
                EXPECT_EQ(occupancy, 0.0f);
                return step;
            }
        }
        return 0;
    };
    EXPECT_EQ(stepsToRemove(10), 3); // 1 - 3 * 0.3932 < 0
    EXPECT_EQ(stepsToRemove(22), 2); // rate 7.0
    EXPECT_EQ(stepsToRemove(21), 4); // rate 3.188
    EXPECT_EQ(stepsToRemove(0), 1154);

    float occupancy = 1.0f;
    EXPECT_FALSE(
        ContinuosWetEtching::consumeStep(occupancy, ContinuosWetEtching::AtomicConfiguration(0)));
    EXPECT_FLOAT_EQ(occupancy, 1.0f - 0.000867f);
    // Unknown neighbourhoods have no rate: nothing is lost, however often.
    occupancy = 0.5f;
    for (int step = 0; step < 10; ++step)
        EXPECT_FALSE(
            ContinuosWetEtching::consumeStep(occupancy, ContinuosWetEtching::UnknownConfiguration));
    EXPECT_EQ(occupancy, 0.5f);
}

TEST(ContinuousWetEtch, FlatHundredSurfaceLosesOneLayerEveryFourSteps) {
    QuietEtching quiet;
    auto topLayer = [](const Util::Vector3D& p) { return inMiddle(p) && p.z == 5.75; };
    auto secondLayer = [](const Util::Vector3D& p) { return inMiddle(p) && p.z == 5.5; };

    // Rate 3.188: after three steps 0.0436 is left, the fourth step removes the layer.
    auto volume = flatSilicon(20, 20, 8, 6);
    ASSERT_TRUE(volume->rebuildSiLattice());
    ContinuosWetEtching threeSteps(*volume, 0.75);
    threeSteps.runEtching();
    EXPECT_EQ(threeSteps.getStepsRun(), 3u);
    const auto top = atomsWhere(*volume, topLayer);
    ASSERT_FALSE(top.empty());
    for (const SiAtom& atom : top) {
        EXPECT_EQ(atom.state, SiAtom::Silicon);
        EXPECT_NEAR(atom.occupancy, 1.0 - 3 * 0.3188, 1e-5);
    }
    // Bulk atoms below keep their full occupancy.
    for (const SiAtom& atom : atomsWhere(*volume, secondLayer))
        EXPECT_FLOAT_EQ(atom.occupancy, 1.0f);

    volume = flatSilicon(20, 20, 8, 6);
    ASSERT_TRUE(volume->rebuildSiLattice());
    ContinuosWetEtching(*volume, 1.0).runEtching();
    for (const SiAtom& atom : atomsWhere(*volume, topLayer))
        EXPECT_EQ(atom.state, SiAtom::Empty);
    for (const SiAtom& atom : atomsWhere(*volume, secondLayer))
        EXPECT_EQ(atom.state, SiAtom::Silicon);

    // Sixteen steps take four layers: one cell.
    volume = flatSilicon(20, 20, 8, 6);
    ASSERT_TRUE(volume->rebuildSiLattice());
    ContinuosWetEtching(*volume, 4.0).runEtching();
    for (int x = 7; x < 13; ++x) {
        for (int y = 7; y < 13; ++y) {
            EXPECT_EQ(materialAt(*volume, x, y, 5), 0) << x << ", " << y;
            EXPECT_EQ(materialAt(*volume, x, y, 4), 1) << x << ", " << y;
        }
    }
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(ContinuousWetEtch, AtomsKeepTheirRemainderUntilTheNextContinuousRunTakesThem) {
    QuietEtching quiet;
    auto topLayer = [](const Util::Vector3D& p) { return inMiddle(p) && p.z == 5.75; };
    auto volume = flatSilicon(20, 20, 8, 6);
    ASSERT_TRUE(volume->rebuildSiLattice());
    for (const SiAtom& atom : atomsWhere(*volume, topLayer))
        EXPECT_EQ(atom.occupancy, 0.0f) << "no continuous run took it yet";

    ContinuosWetEtching(*volume, 0.75).runEtching();
    // One atomistic step takes the top layer away; its atoms keep what the continuous run
    // left them.
    Core::Operations::AtomicStructureSimpleSiWetEtch(*volume, 0.25).runEtching();
    const auto removed = atomsWhere(*volume, topLayer);
    ASSERT_FALSE(removed.empty());
    for (const SiAtom& atom : removed) {
        EXPECT_EQ(atom.state, SiAtom::Empty);
        EXPECT_NEAR(atom.occupancy, 1.0 - 3 * 0.3188, 1e-5);
    }

    // Their cells are still silicon, so the next run takes them afresh at 1 and dissolves
    // them in four steps: gone, they read 0.
    ContinuosWetEtching(*volume, 1.0).runEtching();
    for (const SiAtom& atom : atomsWhere(*volume, topLayer)) {
        EXPECT_EQ(atom.state, SiAtom::Empty);
        EXPECT_EQ(atom.occupancy, 0.0f);
    }
}

TEST(ContinuousWetEtch, MaskEdgesHardlyMove) {
    QuietEtching quiet;
    auto volume = maskedSilicon(16, 16, 12, 10, 3, 13);
    ASSERT_TRUE(volume->rebuildSiLattice());
    ContinuosWetEtching(*volume, 8.0).runEtching();
    for (int x = 0; x < 16; ++x) {
        const bool open = x >= 3 && x < 13;
        // Two cells down in the opening, nothing under the mask.
        EXPECT_EQ(materialAt(*volume, x, 8, 10), open ? 0 : oxide) << x;
        if (x >= 4 && x < 12) {
            EXPECT_EQ(materialAt(*volume, x, 8, 8), 0) << x;
        }
        if (!open) {
            EXPECT_EQ(materialAt(*volume, x, 8, 9), 1) << x;
        }
        EXPECT_EQ(materialAt(*volume, x, 8, 7), 1) << x;
    }
    EXPECT_EQ(countMismatches(*volume), 0);
}

TEST(ContinuousWetEtch, SameCellsForOneTwoThreeAndEightThreads) {
    QuietEtching quiet;
    auto run = [](int threads) {
        PoolThreads pool(threads);
        auto volume = makeVolume(17, 11, 8, [](int x, int y, int z) {
            if (z < 6)
                return 1;
            if (z == 6)
                return x >= 1 && x < 12 && y >= 2 && y < 9 ? 0 : oxide;
            return 0;
        });
        EXPECT_TRUE(volume->rebuildSiLattice());
        ContinuosWetEtching(*volume, 2.0).runEtching();
        EtchResult result = resultOf(*volume);
        // Occupancies too: they carry into the next steps.
        const auto lattice = volume->getSiLattice();
        for (AtomId id = 0; id < lattice->latticeAtomCount(); ++id)
            result.atomStates.push_back(int(lattice->atom(id).occupancy * 1e6f));
        return result;
    };
    const EtchResult single = run(1);
    for (int threads : {2, 3, 8})
        EXPECT_TRUE(run(threads) == single) << threads << " threads";
}

TEST(ContinuousWetEtch, NegativeDepthRunsNoStep) {
    QuietEtching quiet;
    auto volume = flatSilicon(5, 5, 5, 3);
    ASSERT_TRUE(volume->rebuildSiLattice());
    const EtchResult before = resultOf(*volume);
    ContinuosWetEtching engine(*volume, -0.5);
    engine.runEtching();
    EXPECT_EQ(engine.getStepsRun(), 0u);
    EXPECT_EQ(resultOf(*volume).materials, before.materials);
}

} // namespace CELLVANE_TEST_FILE
