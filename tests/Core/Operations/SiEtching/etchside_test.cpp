#include "Core/Operations/BatchRun/processrecord.h"
#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/SiEtching/atomicstructuresimplesiwetetch.h"
#include "Core/Operations/SiEtching/siwetetchscenes.h"
#include "Core/Operations/Undo/processhistory.h"

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Core::Operations::AtomicStructureSimpleSiWetEtch;
using Core::Operations::EtchSide;
using Model::Automaton::TotalVolume;
using namespace testing_support;

namespace {

constexpr int size = 20;
constexpr int waferTop = 10;
constexpr int window0 = 4;
constexpr int window1 = 16;

// A wafer from the volume's bottom face to `waferTop`, open on the front, its back covered by
// one cell of oxide with a square window where the silicon reaches the bottom face.
std::shared_ptr<TotalVolume> backMaskedWafer() {
    return makeVolume(size, size, 16, [](int x, int y, int z) {
        if (z >= waferTop)
            return 0;
        const bool window = x >= window0 && x < window1 && y >= window0 && y < window1;
        return z == 0 && !window ? oxide : 1;
    });
}

struct Faces {
    bool frontEtched;
    bool windowEtched;
};

Faces etchedFaces(TotalVolume& volume) {
    // The middle of the volume, clear of the (111) walls that grow from the closed sides.
    return {materialAt(volume, 9, 10, waferTop - 1) == 0, materialAt(volume, 9, 10, 0) == 0};
}

} // namespace

TEST(EtchSide, EachSideEtchesOnlyTheFacesTheEtchantReaches) {
    QuietEtching quiet;
    const struct {
        EtchSide side;
        bool front;
        bool back;
    } cases[] = {{EtchSide::Top, true, false},
                 {EtchSide::Bottom, false, true},
                 {EtchSide::Both, true, true}};
    for (const auto& c : cases) {
        auto volume = backMaskedWafer();
        ASSERT_TRUE(volume->rebuildSiLattice());
        AtomicStructureSimpleSiWetEtch engine(*volume, 3.0);
        engine.setEtchSide(c.side);
        engine.runEtching();
        const Faces faces = etchedFaces(*volume);
        const QString name = etchSideName(c.side);
        EXPECT_EQ(faces.frontEtched, c.front) << name.toStdString();
        EXPECT_EQ(faces.windowEtched, c.back) << name.toStdString();
        if (c.back) {
            // Three cells up from the bottom face over the window, none beyond.
            EXPECT_EQ(materialAt(*volume, 9, 10, 2), 0) << name.toStdString();
            EXPECT_EQ(materialAt(*volume, 9, 10, 3), 1) << name.toStdString();
            // The oxide holds the back beside the window.
            EXPECT_EQ(materialAt(*volume, 1, 1, 1), 1) << name.toStdString();
            EXPECT_EQ(materialAt(*volume, 1, 1, 0), oxide) << name.toStdString();
        }
        if (c.front) {
            EXPECT_EQ(materialAt(*volume, 9, 10, waferTop - 3), 0) << name.toStdString();
        }
        EXPECT_EQ(countMismatches(*volume), 0) << name.toStdString();
        // The lattice keeps no trace of the etchant below the volume for the next etch.
        AtomicStructureSimpleSiWetEtch again(*volume, 0.0);
        again.runEtching();
        const auto lattice = volume->getSiLattice();
        for (Model::Automaton::AtomId id = 0; id < lattice->latticeAtomCount(); ++id) {
            if (lattice->cellIndexOf(id) < 0 && lattice->isCrystalCell(lattice->cellOf(id))) {
                ASSERT_NE(lattice->state(id), Model::Automaton::SiAtom::Empty) << id;
            }
        }
    }
}

TEST(EtchSide, FromTheBottomTheFrontsEmptyCellsStayDry) {
    // A pit already open on the front is not etched further when only the back is wet.
    QuietEtching quiet;
    auto volume = makeVolume(size, size, 16, [](int x, int y, int z) {
        if (z >= waferTop)
            return 0;
        const bool pit = x >= 8 && x < 12 && y >= 8 && y < 12 && z >= waferTop - 2;
        return z == 0 ? oxide : pit ? 0 : 1;
    });
    const auto before = materialsOf(*volume);
    ASSERT_TRUE(volume->rebuildSiLattice());
    AtomicStructureSimpleSiWetEtch engine(*volume, 2.0);
    engine.setEtchSide(EtchSide::Bottom);
    engine.runEtching();
    EXPECT_EQ(materialsOf(*volume), before);
}

TEST(EtchSide, NamesReadBackAndTheRecordRefusesOthers) {
    for (const EtchSide side : {EtchSide::Top, EtchSide::Bottom, EtchSide::Both}) {
        EtchSide read = EtchSide::Top;
        ASSERT_TRUE(Core::Operations::etchSideFromName(etchSideName(side), read));
        EXPECT_EQ(read, side);
    }
    EtchSide read = EtchSide::Both;
    EXPECT_FALSE(Core::Operations::etchSideFromName(QStringLiteral("sideways"), read));

    QuietEtching quiet;
    namespace names = Core::Operations::RecordParameters;
    using Core::Operations::ProcessTypes;
    Core::Operations::ProcessHistory history;
    Core::Operations::ProcessRecordExecutor executor{history, {}};
    executor.setVolume(backMaskedWafer());
    const auto refused =
        executor.execute(ProcessTypes::SiWetEtching,
                         {{names::depth, 3.0}, {names::etchSide, QStringLiteral("sideways")}});
    EXPECT_FALSE(refused.isDone());
    EXPECT_TRUE(refused.problem.contains(QStringLiteral("top, bottom or both")))
        << refused.problem.toStdString();

    const auto etched =
        executor.execute(ProcessTypes::SiWetEtching,
                         {{names::depth, 3.0}, {names::etchSide, QStringLiteral("bottom")}});
    ASSERT_TRUE(etched.isDone()) << etched.problem.toStdString();
    const Faces faces = etchedFaces(*executor.getVolume());
    EXPECT_FALSE(faces.frontEtched);
    EXPECT_TRUE(faces.windowEtched);
}

} // namespace CELLVANE_TEST_FILE
