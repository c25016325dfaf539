#include "UI/Input/editcompatiblematerialsdialog.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

namespace CELLVANE_TEST_FILE {

using Ui::Input::EditCompatibleMaterialsDialog;

namespace {

QStringList texts(const QListWidget* list) {
    QStringList result;
    for (int row = 0; row < list->count(); ++row)
        result << list->item(row)->text();
    return result;
}

struct EditCompatibleMaterialsDialogTest : TestSupport::RegistryTest {
    void SetUp() override {
        TestSupport::RegistryTest::SetUp();
        dialog = std::make_unique<EditCompatibleMaterialsDialog>();
        processBox = dialog->findChild<QComboBox*>(QStringLiteral("cbxProcess"));
        available = dialog->findChild<QListWidget*>(QStringLiteral("listAvailableMaterials"));
        compatible = dialog->findChild<QListWidget*>(QStringLiteral("listCompatibleMaterials"));
        insert = dialog->findChild<QPushButton*>(QStringLiteral("btnInsert"));
        remove = dialog->findChild<QPushButton*>(QStringLiteral("btnRemove"));
        ASSERT_TRUE(processBox && available && compatible && insert && remove);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void chooseProcess(const QString& name) {
        processBox->setCurrentIndex(processBox->findText(name));
    }
    // Ctrl-click so several items can be picked as a user would.
    void pick(QListWidget* list, const QString& text) {
        const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        list->scrollToItem(found.front());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          list->visualItemRect(found.front()).center());
    }
    std::list<uint32_t> copyOf(uint32_t processId) const {
        for (const auto& process : dialog->getProcesses()) {
            if (process.getId() == processId)
                return process.getCompatibleMaterialIds();
        }
        return {};
    }

    std::unique_ptr<EditCompatibleMaterialsDialog> dialog;
    QComboBox* processBox = nullptr;
    QListWidget* available = nullptr;
    QListWidget* compatible = nullptr;
    QPushButton* insert = nullptr;
    QPushButton* remove = nullptr;
};

} // namespace

TEST_F(EditCompatibleMaterialsDialogTest, FormHasTheWidgetsAndTabOrder) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Edit Compatible Materials"));
    EXPECT_EQ(dialog->size(), QSize(668, 405));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("lblProcess"))->text(),
              QStringLiteral("Process"));
    EXPECT_EQ(insert->text(), QStringLiteral(">>"));
    EXPECT_EQ(remove->text(), QStringLiteral("<<"));
    for (const QListWidget* list : {available, compatible}) {
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        EXPECT_TRUE(list->isSelectionRectVisible());
        EXPECT_TRUE(list->isSortingEnabled());
    }
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    // Walk the focus chain from the combo box and note where each part first appears.
    std::vector<const QWidget*> chain;
    QWidget* widget = processBox;
    for (int step = 0; step < 40; ++step, widget = widget->nextInFocusChain()) {
        const QWidget* part = buttons->isAncestorOf(widget) ? buttons : widget;
        if (std::find(chain.begin(), chain.end(), part) == chain.end())
            chain.push_back(part);
    }
    const std::vector<const QWidget*> expected = {processBox, available,  remove,
                                                  insert,     compatible, buttons};
    std::vector<const QWidget*> seen;
    for (const QWidget* part : chain) {
        if (std::find(expected.begin(), expected.end(), part) != expected.end())
            seen.push_back(part);
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(EditCompatibleMaterialsDialogTest, OpensOnTheFirstProcessWithAllProcessesListed) {
    EXPECT_EQ(processBox->count(), 14);
    EXPECT_EQ(processBox->currentText(), QStringLiteral("Si Wet Etching"));
    EXPECT_EQ(processBox->itemData(2).toUInt(), 3u);
    EXPECT_EQ(texts(compatible), QStringList{QStringLiteral("Si")});
    EXPECT_EQ(available->count(), 15);
    EXPECT_FALSE(texts(available).contains(QStringLiteral("Si")));
}

TEST_F(EditCompatibleMaterialsDialogTest, ChoosingAProcessShowsItsListSorted) {
    chooseProcess(QStringLiteral("CVD"));
    EXPECT_EQ(dialog->getCurrentProcess()->getId(), 3u);
    EXPECT_EQ(texts(compatible),
              (QStringList{QStringLiteral("Poly-Si"), QStringLiteral("Si3N4 (LPCVD)"),
                           QStringLiteral("Thermal Si02")}));
    EXPECT_EQ(available->count(), 13);
    const QStringList left = texts(available);
    QStringList sorted = left;
    sorted.sort();
    EXPECT_EQ(left, sorted);

    chooseProcess(QStringLiteral("Planarization"));
    EXPECT_EQ(compatible->count(), 0);
    EXPECT_EQ(available->count(), 16);
}

TEST_F(EditCompatibleMaterialsDialogTest, InsertMovesTheSelectedMaterialsRight) {
    chooseProcess(QStringLiteral("CVD"));
    pick(available, QStringLiteral("Au (bulk)"));
    pick(available, QStringLiteral("Si"));
    ASSERT_EQ(available->selectedItems().size(), 2);
    QTest::mouseClick(insert, Qt::LeftButton);

    EXPECT_EQ(
        texts(compatible),
        (QStringList{QStringLiteral("Au (bulk)"), QStringLiteral("Poly-Si"), QStringLiteral("Si"),
                     QStringLiteral("Si3N4 (LPCVD)"), QStringLiteral("Thermal Si02")}));
    EXPECT_EQ(available->count(), 11);
    EXPECT_TRUE(available->selectedItems().isEmpty());
    EXPECT_TRUE(compatible->selectedItems().isEmpty());
    std::list<uint32_t> ids = copyOf(3);
    ASSERT_EQ(ids.size(), 5u);
    EXPECT_EQ(ids.front(), 3u);
    ids.sort();
    EXPECT_EQ(ids, (std::list<uint32_t>{1, 3, 9, 16, 17}));
    // The registry changes only when the dialog's owner applies the copy.
    EXPECT_EQ(processes->getProcess(3u).getCompatibleMaterialIds(),
              (std::list<uint32_t>{3, 16, 17}));
}

TEST_F(EditCompatibleMaterialsDialogTest, RemoveMovesTheSelectedMaterialsLeft) {
    chooseProcess(QStringLiteral("PVD"));
    pick(compatible, QStringLiteral("Cu (bulk)"));
    pick(compatible, QStringLiteral("Ti (bulk)"));
    QTest::mouseClick(remove, Qt::LeftButton);

    EXPECT_EQ(copyOf(4), (std::list<uint32_t>{4, 6, 7, 8, 9}));
    EXPECT_EQ(compatible->count(), 5);
    EXPECT_TRUE(texts(available).contains(QStringLiteral("Cu (bulk)")));
    EXPECT_TRUE(texts(available).contains(QStringLiteral("Ti (bulk)")));
    EXPECT_TRUE(compatible->selectedItems().isEmpty());

    // Edits of one process survive choosing another and coming back.
    chooseProcess(QStringLiteral("CVD"));
    chooseProcess(QStringLiteral("PVD"));
    EXPECT_EQ(compatible->count(), 5);
}

TEST_F(EditCompatibleMaterialsDialogTest, MovingWithNothingSelectedChangesNothing) {
    chooseProcess(QStringLiteral("CVD"));
    QTest::mouseClick(insert, Qt::LeftButton);
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(copyOf(3), (std::list<uint32_t>{3, 16, 17}));
    EXPECT_EQ(compatible->count(), 3);
}

} // namespace CELLVANE_TEST_FILE
