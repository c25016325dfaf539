#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Undo/processhistory.h"
#include "Core/ProcessList/processlistrun.h"
#include "Model/Automaton/photomask.h"
#include "Model/Automaton/totalvolume.h"
#include "Model/Layout/gdswriter.h"
#include "Util/metatypes.h"
#include "support/scenes.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using namespace Ui;
using Core::Operations::ProcessRecordExecutor;
namespace names = Core::Operations::RecordParameters;

namespace {

constexpr int Silicon = 1, Oxide = 3;
constexpr unsigned Columns = 48, Thickness = 24;

ProcessData substrate() {
    ProcessData process(ProcessData::CreateSubstrate);
    process.setParameter(names::material().id, uint(Silicon), false);
    process.setParameter(names::corner, QVariant::fromValue(Util::Vector3D()), true);
    process.setParameter(names::sphericalSubstrate, false, false);
    for (char axis : {'X', 'Y', 'Z'}) {
        process.setParameter(names::axis(names::volumeSize, axis),
                             axis == 'Z' ? Thickness + 6 : Columns, true);
        process.setParameter(names::axis(names::substrateSize, axis),
                             axis == 'Z' ? Thickness : Columns, true);
        process.setParameter(names::axis(names::substrateDelta, axis), 0u, true);
    }
    return process;
}

ProcessData oxide() {
    ProcessData process(ProcessData::CVD);
    process.setParameter(names::material().id, uint(Oxide), false);
    process.setParameter(names::thickness, 2.0, true);
    return process;
}

// The oxide developed through a top mask; no bottom mask.
ProcessData patterning(const Model::Automaton::PhotoMask& top) {
    ProcessData process(ProcessData::Photolithography);
    process.setParameter(names::material().id, uint(Oxide), false);
    for (const QString& side : {QStringLiteral("Top"), QStringLiteral("Bottom")}) {
        const bool isTop = side == QStringLiteral("Top");
        const auto mask = names::mask(side);
        const std::vector<unsigned char> bytes =
            isTop ? std::vector<unsigned char>(top.bits.begin(), top.bits.end())
                  : std::vector<unsigned char>();
        process.setParameter(mask.bits, QVariant::fromValue(bytes), false);
        process.setParameter(mask.file, QString(), true);
        process.setParameter(mask.width, QVariant(isTop ? top.width : 0u), true);
        process.setParameter(mask.height, QVariant(isTop ? top.height : 0u), true);
    }
    return process;
}

ProcessData koh() {
    ProcessData process(ProcessData::SiWetEtching);
    process.setParameter(names::depth, 8.0, true);
    return process;
}

std::vector<int> run(const QList<ProcessData>& list) {
    Core::Operations::ProcessHistory history;
    ProcessRecordExecutor executor(history, {[](const auto&) {}, {}});
    for (const ProcessData& process : list) {
        const auto result = executor.execute(process.getProcessType(), process.getParameters());
        EXPECT_TRUE(result.isDone()) << result.problem.toStdString();
    }
    return executor.getVolume() ? testing_support::materialsOf(*executor.getVolume())
                                : std::vector<int>();
}

} // namespace

// A square opening drawn on a layout layer, etched in KOH through the oxide on (100) silicon:
// the same inverted pyramid as through the PNG mask of the same opening.
TEST(LayoutFlow, ASquareOpeningFromALayoutEtchesAsTheSamePictureMaskDoes) {
    QTemporaryDir dir;
    // Opening: columns 16 to 31; the layout draws it from 17 to 32 um and is placed half a
    // column down and left, so its edges run through the centres of the outer columns.
    QImage picture{int(Columns), int(Columns), QImage::Format_RGB32};
    picture.fill(Qt::black);
    for (int x = 16; x < 32; ++x)
        for (int y = 16; y < 32; ++y)
            picture.setPixel(x, int(Columns) - 1 - y, qRgb(255, 255, 255));
    const QString png = dir.filePath(QStringLiteral("opening.png"));
    ASSERT_TRUE(picture.save(png));
    Model::Automaton::PhotoMask pictureMask;
    ASSERT_TRUE(Model::Automaton::PhotoMask::load(png, pictureMask));

    const QString gds = dir.filePath(QStringLiteral("opening.gds"));
    ASSERT_TRUE(GdsWriter()
                    .begin()
                    .cell("CHIP")
                    .square(5, 0, 17000, 17000, 15000)
                    .square(6, 0, 0, 0, 48000)
                    .endCell()
                    .end()
                    .save(gds));

    const QList<ProcessData> withPicture = {substrate(), oxide(), patterning(pictureMask), koh()};
    const std::vector<int> expected = run(withPicture);
    ASSERT_FALSE(expected.empty());

    // The layout described in the record, as the batch dialog stores it without a volume.
    ProcessData fromLayout = patterning({});
    const auto layout = names::layout(QStringLiteral("Top"));
    fromLayout.setParameter(layout.source, gds + QStringLiteral(":5/0"), true);
    fromLayout.setParameter(layout.inverted, true, false);
    fromLayout.setParameter(layout.offsetX, -0.5, false);
    fromLayout.setParameter(layout.offsetY, -0.5, false);
    EXPECT_EQ(run({substrate(), oxide(), fromLayout, koh()}), expected);

    // The runner's --set of the placement of a step that holds its bits (here open everywhere)
    // makes the mask again: moved 100 um away, the opening leaves the volume and nothing is
    // etched.
    ProcessData stored = fromLayout;
    stored.setParameter(names::mask(QStringLiteral("Top")).bits,
                        QVariant::fromValue(std::vector<unsigned char>(Columns * Columns, 0)),
                        false);
    stored.setParameter(names::mask(QStringLiteral("Top")).width, Columns, true);
    stored.setParameter(names::mask(QStringLiteral("Top")).height, Columns, true);
    QList<ProcessData> moved = {substrate(), oxide(), stored, koh()};
    QString why;
    ASSERT_TRUE(ProcessListRun::applySetting(moved, QStringLiteral("3.TopLayout OffsetX=100"), why))
        << why.toStdString();
    const std::vector<int> away = run(moved);
    EXPECT_EQ(std::count(away.begin(), away.end(), Silicon), int(Columns * Columns * Thickness))
        << "with the opening off the volume the oxide protects all of the silicon";

    // The runner's --set swaps a layout into the picture step; the placement is at the corner
    // with drawn shapes protecting, so layer 6 (the whole chip drawn) protects everything.
    QList<ProcessData> swapped = withPicture;
    QString problem;
    ASSERT_TRUE(ProcessListRun::applySetting(swapped, QStringLiteral("3.TopLayout=%1:6/0").arg(gds),
                                             problem))
        << problem.toStdString();
    const std::vector<int> untouched = run(swapped);
    EXPECT_EQ(std::count(untouched.begin(), untouched.end(), Silicon),
              int(Columns * Columns * Thickness));
    EXPECT_FALSE(
        ProcessListRun::applySetting(swapped, QStringLiteral("3.TopLayout=chip.gds"), problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("FILE:LAYER/DATATYPE")));
    ASSERT_TRUE(ProcessListRun::applySetting(swapped, QStringLiteral("3.TopLayout=%1:7/0").arg(gds),
                                             problem));
    Core::Operations::ProcessHistory history;
    ProcessRecordExecutor executor(history, {[](const auto&) {}, {}});
    for (int i = 0; i < 2; ++i)
        executor.execute(swapped[i].getProcessType(), swapped[i].getParameters());
    const auto refused = executor.execute(swapped[2].getProcessType(), swapped[2].getParameters());
    EXPECT_FALSE(refused.isDone());
    EXPECT_TRUE(refused.problem.contains(QStringLiteral("nothing is drawn on layer 7/0")))
        << refused.problem.toStdString();

    // An inverted pyramid: silicon gone under the opening at the top, the pit narrowing with
    // depth, and nothing etched outside the opening's columns.
    const auto at = [&expected](unsigned x, unsigned y, unsigned z) {
        return expected[std::size_t(x) * Columns * (Thickness + 6) + y * (Thickness + 6) + z];
    };
    int previous = int(Columns * Columns);
    for (unsigned z = Thickness - 1; z + 8 >= Thickness; --z) {
        int etched = 0;
        for (unsigned x = 0; x < Columns; ++x)
            for (unsigned y = 0; y < Columns; ++y)
                if (at(x, y, z) != Silicon) {
                    ++etched;
                    EXPECT_TRUE(x >= 16 && x < 32 && y >= 16 && y < 32)
                        << x << ' ' << y << ' ' << z;
                }
        EXPECT_LE(etched, previous) << "layer " << z;
        previous = etched;
    }
    EXPECT_EQ(at(24, 24, Thickness - 1), 0);
    EXPECT_EQ(at(16, 16, Thickness - 6), Silicon);
}

} // namespace CELLVANE_TEST_FILE
