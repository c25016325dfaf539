#include "UI/dialogmemory.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

namespace {

// A dialog with one input of every kind a step's dialog uses, at its defaults.
struct StepDialog : QDialog {
    StepDialog() {
        auto* layout = new QVBoxLayout(this);
        count->setObjectName(QStringLiteral("sbxCount"));
        count->setRange(0, 100);
        count->setValue(3);
        depth->setObjectName(QStringLiteral("dblDepth"));
        depth->setRange(0.0, 50.0);
        depth->setValue(1.5);
        material->setObjectName(QStringLiteral("cbxMaterial"));
        material->addItem(QStringLiteral("Si"), 1);
        material->addItem(QStringLiteral("Oxide"), 3);
        material->addItem(QStringLiteral("Al"), 4);
        byDepth->setObjectName(QStringLiteral("radDepth"));
        byTime->setObjectName(QStringLiteral("radTime"));
        byDepth->setChecked(true);
        fromBelow->setObjectName(QStringLiteral("chkFromBelow"));
        mask->setObjectName(QStringLiteral("lieMask"));
        buttons->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        for (QWidget* w : std::initializer_list<QWidget*>{count, depth, material, byDepth, byTime,
                                                          fromBelow, mask, buttons})
            layout->addWidget(w);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }
    QSpinBox* count = new QSpinBox(this);
    QDoubleSpinBox* depth = new QDoubleSpinBox(this);
    QComboBox* material = new QComboBox(this);
    QRadioButton* byDepth = new QRadioButton(this);
    QRadioButton* byTime = new QRadioButton(this);
    QCheckBox* fromBelow = new QCheckBox(this);
    QLineEdit* mask = new QLineEdit(this);
    QDialogButtonBox* buttons = new QDialogButtonBox(this);
};

// Opens `dialog` through the memory and lets `act` look at it and close it.
int openWith(Ui::DialogMemory& memory, StepDialog& dialog, const QString& key,
             std::function<void(StepDialog&)> act) {
    QTimer::singleShot(0, [&dialog, act] { act(dialog); });
    return memory.exec(dialog, key);
}

} // namespace

// A step's dialog opens with the values it was last accepted with, under its own key only;
// Cancel forgets nothing; "Defaults" brings back the values it opens with at first; clear()
// (a new document) forgets them all.
TEST(DialogMemory, OpensWithTheLastAcceptedValuesAndDefaultsPutsBackTheFirst) {
    Ui::DialogMemory memory;
    const QString etch = QStringLiteral("30:Etch");
    {
        StepDialog dialog;
        EXPECT_EQ(openWith(memory, dialog, etch,
                           [](StepDialog& d) {
                               d.count->setValue(12);
                               d.depth->setValue(6.25);
                               d.material->setCurrentIndex(2);
                               d.byTime->setChecked(true);
                               d.fromBelow->setChecked(true);
                               d.mask->setText(QStringLiteral("cross.png"));
                               d.accept();
                           }),
                  QDialog::Accepted);
    }
    const auto expectRemembered = [](StepDialog& d) {
        EXPECT_EQ(d.count->value(), 12);
        EXPECT_DOUBLE_EQ(d.depth->value(), 6.25);
        EXPECT_EQ(d.material->currentData().toInt(), 4);
        EXPECT_TRUE(d.byTime->isChecked());
        EXPECT_FALSE(d.byDepth->isChecked());
        EXPECT_TRUE(d.fromBelow->isChecked());
        EXPECT_EQ(d.mask->text(), QStringLiteral("cross.png"));
    };
    {
        // Looked at, changed and cancelled: the accepted values stay remembered.
        StepDialog dialog;
        openWith(memory, dialog, etch, [&](StepDialog& d) {
            expectRemembered(d);
            d.count->setValue(99);
            d.reject();
        });
    }
    {
        StepDialog dialog;
        openWith(memory, dialog, etch, [&](StepDialog& d) {
            expectRemembered(d);
            auto* defaults = d.findChild<QPushButton*>(QStringLiteral("btnDefaults"));
            ASSERT_TRUE(defaults);
            EXPECT_EQ(defaults->text(), QStringLiteral("Defaults"));
            defaults->click();
            EXPECT_EQ(d.count->value(), 3);
            EXPECT_DOUBLE_EQ(d.depth->value(), 1.5);
            EXPECT_EQ(d.material->currentData().toInt(), 1);
            EXPECT_TRUE(d.byDepth->isChecked());
            EXPECT_FALSE(d.fromBelow->isChecked());
            EXPECT_TRUE(d.mask->text().isEmpty());
            d.reject();
        });
    }
    {
        // Another step's dialog of the same kind has values of its own.
        StepDialog dialog;
        openWith(memory, dialog, QStringLiteral("14:Etch"), [](StepDialog& d) {
            EXPECT_EQ(d.count->value(), 3);
            d.reject();
        });
    }
    {
        // A remembered material no longer offered leaves the dialog's own choice.
        StepDialog dialog;
        dialog.material->removeItem(2);
        openWith(memory, dialog, etch, [](StepDialog& d) {
            EXPECT_EQ(d.material->currentData().toInt(), 1);
            EXPECT_EQ(d.count->value(), 12);
            d.reject();
        });
    }
    memory.clear();
    StepDialog dialog;
    openWith(memory, dialog, etch, [](StepDialog& d) {
        EXPECT_EQ(d.count->value(), 3);
        d.reject();
    });
}

} // namespace CELLVANE_TEST_FILE
