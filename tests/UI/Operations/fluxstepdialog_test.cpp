#include "Core/Operations/BatchRun/processrecordexecutor.h"
#include "Core/Operations/Undo/processhistory.h"
#include "UI/BatchRun/batchstepdialogs.h"
#include "UI/Operations/fluxstepdialog.h"
#include "support/scenes.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::BatchStepDialogs;
using Ui::ProcessData;
using Ui::Operations::FluxStepDialog;
namespace names = Core::Operations::RecordParameters;

namespace {

template <class Widget> Widget* child(QWidget& parent, const char* name) {
    return parent.findChild<Widget*>(QString::fromLatin1(name));
}

// Fills the flux step's dialog as a user would and presses OK.
void answerNextDialog(const char* title, double exponent, double sticking, bool byRate) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<FluxStepDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QString::fromLatin1(title));
        auto* rateSwitch = child<QCheckBox>(*dialog, "chkByRate");
        auto* thickness = child<QDoubleSpinBox>(*dialog, "dblThickness");
        if (QString::fromLatin1(title) == QStringLiteral("Flux Etching")) {
            EXPECT_TRUE(rateSwitch->isChecked()) << "an etch goes by rate and time";
            EXPECT_FALSE(rateSwitch->isEnabled());
            EXPECT_TRUE(thickness->isHidden());
            child<QDoubleSpinBox>(*dialog, "dblIonShare")->setValue(0.25);
        } else {
            EXPECT_TRUE(child<QDoubleSpinBox>(*dialog, "dblIonShare")->isHidden());
            rateSwitch->setChecked(byRate);
            EXPECT_EQ(thickness->isEnabled(), !byRate);
            thickness->setValue(2.0);
        }
        child<QDoubleSpinBox>(*dialog, "dbxRate")->setValue(0.5);
        child<QDoubleSpinBox>(*dialog, "dbxTime")->setValue(4.0);
        child<QDoubleSpinBox>(*dialog, "dblExponent")->setValue(exponent);
        child<QDoubleSpinBox>(*dialog, "dblSticking")->setValue(sticking);
        child<QSpinBox>(*dialog, "spbRays")->setValue(30);
        child<QCheckBox>(*dialog, "chkPeriodic")->setChecked(true);
        child<QDialogButtonBox>(*dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
}

} // namespace

// Each dialog's record holds what the user chose under the names the executor reads, and runs.
TEST(FluxSteps, DialogsGiveRecordsTheExecutorRuns) {
    BatchStepDialogs::Context context;
    const auto volume = testing_support::makeVolume(
        12, 4, 12, [](int x, int, int z) { return z < 4 || (z < 8 && (x < 4 || x >= 8)) ? 1 : 0; });

    answerNextDialog("Flux Deposition", 2.0, 0.3, false);
    const auto deposition = BatchStepDialogs::ask(ProcessData::FluxDeposition, context);
    ASSERT_TRUE(deposition);
    EXPECT_EQ(ProcessData::displayName(deposition->getProcessType()),
              QStringLiteral("Flux Deposition"));
    auto values = deposition->getParameters();
    EXPECT_DOUBLE_EQ(values[names::thickness].toDouble(), 2.0);
    EXPECT_FALSE(values.contains(names::rate)) << "given by thickness";
    EXPECT_DOUBLE_EQ(values[names::sourceExponent].toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(values[names::sticking].toDouble(), 0.3);
    EXPECT_TRUE(values[names::periodicSides].toBool());
    EXPECT_EQ(values[names::raysPerCell].toInt(), 30);

    answerNextDialog("Flux Deposition", 1.0, 1.0, true);
    values = BatchStepDialogs::ask(ProcessData::FluxDeposition, context)->getParameters();
    EXPECT_TRUE(values[names::byRateAndTime].toBool());
    EXPECT_DOUBLE_EQ(values[names::rate].toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(values[names::time].toDouble(), 4.0);

    answerNextDialog("Flux Etching", 100.0, 0.2, true);
    const auto etching = BatchStepDialogs::ask(ProcessData::FluxEtching, context);
    ASSERT_TRUE(etching);
    const auto etch = etching->getParameters();
    EXPECT_DOUBLE_EQ(etch[names::rate].toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(etch[names::time].toDouble(), 4.0);
    EXPECT_DOUBLE_EQ(etch[names::ionExponent].toDouble(), 100.0);
    EXPECT_DOUBLE_EQ(etch[names::neutralSticking].toDouble(), 0.2);
    EXPECT_DOUBLE_EQ(etch[names::ionShare].toDouble(), 0.25);

    Core::Operations::ProcessHistory history;
    Core::Operations::ProcessRecordExecutor executor(history, {});
    executor.setVolume(volume);
    const auto before = testing_support::materialsOf(*volume);
    for (const ProcessData* record : {&*deposition, &*etching}) {
        const auto result = executor.execute(record->getProcessType(), record->getParameters());
        EXPECT_TRUE(result.isDone()) << result.problem.toStdString();
    }
    EXPECT_NE(testing_support::materialsOf(*volume), before);
}

} // namespace CELLVANE_TEST_FILE
