#include "UI/BatchRun/batchstepdialogs.h"
#include "UI/Operations/savecrosssectiondialog.h"
#include "support/exportscenes.h"
#include "support/fakeoperations.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Ui::BatchStepDialogs;
using Ui::ProcessData;
using Ui::Operations::SaveCrossSectionDialog;
namespace names = Core::Operations::RecordParameters;

namespace {

template <class Widget> Widget* child(QWidget& parent, const char* name) {
    return parent.findChild<Widget*>(QString::fromLatin1(name));
}

// Answers the step's dialog as a user would: plane, position, Browse, OK.
void answerNextDialog(int axis, double position, bool browse) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<SaveCrossSectionDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save Cross-Section"));
        QPushButton* ok =
            child<QDialogButtonBox>(*dialog, "buttonBox")->button(QDialogButtonBox::Ok);
        EXPECT_FALSE(ok->isEnabled()) << "no file named yet";
        child<QComboBox>(*dialog, "cbxPlaneAxis")->setCurrentIndex(axis);
        auto* spin = child<QDoubleSpinBox>(*dialog, "dbxPlanePosition");
        spin->setValue(position);
        if (browse)
            child<QPushButton>(*dialog, "btnBrowse")->click();
        if (ok->isEnabled())
            ok->click();
        else
            dialog->reject();
    });
}

} // namespace

// The step's record holds the plane and the file (".png" added); the position stays inside the
// volume the list runs on; Cancel or no file adds nothing.
TEST(SaveCrossSectionStep, DialogGivesARecordOfThePlaneAndTheFile) {
    testing_support::ScriptedPrompts prompts;
    BatchStepDialogs::Context context;
    context.prompts = &prompts;
    context.volume = testing_support::exportScene(0.5f, 1.f, 2.f);

    prompts.fileAnswer = QStringLiteral("/tmp/cut");
    answerNextDialog(2, 100.0, true);
    auto record = BatchStepDialogs::ask(ProcessData::SaveCrossSection, context);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->getProcessType(), 18);
    EXPECT_EQ(ProcessData::displayName(18), QStringLiteral("Save Cross-Section"));
    EXPECT_EQ(record->getParameter(names::planeAxis).toString(), QStringLiteral("z"));
    // 12 cells of 2 µm: the last position offered lies just inside the top face.
    EXPECT_DOUBLE_EQ(record->getParameter(names::planePosition).toDouble(), 23.999);
    EXPECT_EQ(record->getParameter(names::fileName).toString(), QStringLiteral("/tmp/cut.png"));
    for (const QString& name : {names::planeAxis, names::planePosition, names::fileName})
        EXPECT_TRUE(record->isVisible(name)) << name.toStdString();

    prompts.fileAnswer.clear();
    answerNextDialog(0, 1.0, true);
    EXPECT_FALSE(BatchStepDialogs::ask(ProcessData::SaveCrossSection, context));

    const auto& kinds = BatchStepDialogs::kinds();
    EXPECT_EQ(std::string(kinds.back().text), "Save Cross-Section");
}

} // namespace CELLVANE_TEST_FILE
