#include "UI/Input/managematerialsdialog.h"
#include "UI/Input/materialtableviewitem.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;
using Ui::Input::ManageMaterialsDialog;

namespace {

struct ManageMaterialsDialogTest : TestSupport::RegistryTest {
    ManageMaterialsDialog dialog;
    QTableView* table = dialog.findChild<QTableView*>(QStringLiteral("tvwMaterials"));
    QPushButton* addButton = dialog.findChild<QPushButton*>(QStringLiteral("btnAddMaterial"));

    QModelIndex cell(int row, int column) const { return table->model()->index(row, column); }
};

} // namespace

TEST_F(ManageMaterialsDialogTest, ShowsTheRegisteredMaterials) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Manage Materials"));
    EXPECT_EQ(dialog.size(), QSize(1038, 636));
    ASSERT_NE(table, nullptr);
    ASSERT_NE(addButton, nullptr);
    EXPECT_EQ(addButton->text(), QStringLiteral("Add Material"));
    EXPECT_NE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), nullptr);
    EXPECT_NE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), nullptr);

    EXPECT_EQ(table->model()->rowCount(), 16);
    EXPECT_EQ(table->model()->columnCount(), 9)
        << "with the constants the netlist and the mechanics report use";
    EXPECT_EQ(cell(1, 1).data().toString(), QStringLiteral("Thermal Si02"));
}

TEST_F(ManageMaterialsDialogTest, AddMaterialCreatesIds18Then19OnTheBuiltInTable) {
    QTest::mouseClick(addButton, Qt::LeftButton);
    QTest::mouseClick(addButton, Qt::LeftButton);
    const std::vector<Material>& rows = dialog.getMaterials();
    ASSERT_EQ(rows.size(), 18u);
    EXPECT_EQ(rows[16].getId(), 18u);
    EXPECT_EQ(rows[17].getId(), 19u);
    EXPECT_EQ(cell(17, 1).data().toString(), QStringLiteral("New Material"));
    // Nothing reaches the registry until the dialog's owner applies the rows.
    EXPECT_EQ(materials->getMaterial(18).getId(), 0u);
}

TEST_F(ManageMaterialsDialogTest, NameEditorStartsFromTheNameAndCommitsOnEnter) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    table->setCurrentIndex(cell(0, 1));
    table->edit(cell(0, 1));
    auto* editor = table->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("Si"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Silicon"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the view commits through a queued call
    EXPECT_EQ(dialog.getMaterials()[0].getName(), QStringLiteral("Silicon"));
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Si"));
}

TEST_F(ManageMaterialsDialogTest, ColourCellOpensAColourDialogOnTheCellColour) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    table->edit(cell(1, 2));
    auto* chooser = dialog.findChild<QColorDialog*>();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_EQ(chooser->currentColor(), QColor(127, 127, 255, 255));

    chooser->setCurrentColor(QColor(10, 20, 30, 40));
    chooser->accept();
    const Material& oxide = dialog.getMaterials()[1];
    EXPECT_FLOAT_EQ(oxide.getRed(), 10.f / 255.f);
    EXPECT_FLOAT_EQ(oxide.getAlpha(), 40.f / 255.f);
}

TEST_F(ManageMaterialsDialogTest, CancellingTheColourDialogKeepsTheColour) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    table->edit(cell(1, 2));
    auto* chooser = dialog.findChild<QColorDialog*>();
    ASSERT_NE(chooser, nullptr);
    chooser->setCurrentColor(QColor(10, 20, 30, 40));
    chooser->reject();
    EXPECT_FLOAT_EQ(dialog.getMaterials()[1].getRed(), materials->getMaterial(3).getRed());
    EXPECT_FLOAT_EQ(dialog.getMaterials()[1].getAlpha(), 1.f);
}

} // namespace CELLVANE_TEST_FILE
