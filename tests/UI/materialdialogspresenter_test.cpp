#include "Model/Automaton/totalvolume.h"
#include "Model/document.h"
#include "UI/Input/editcompatiblematerialsdialog.h"
#include "UI/Input/managematerialsdialog.h"
#include "UI/Input/materialtableviewitem.h"
#include "UI/mainwindowpresenter.h"
#include "support/fakeoperations.h"
#include "support/qtprinters.h"
#include "support/registryfiles.h"

#include <QApplication>
#include <QColor>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace CELLVANE_TEST_FILE {

using Model::Materials::Material;

namespace {

class CountingObserver : public Util::IObserver {
public:
    void update() override { ++count; }
    int count = 0;
};

// Runs `act` on the modal dialog of type D as soon as the presenter has opened it.
template <typename D> void whenOpen(std::function<void(D&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

struct MaterialDialogsPresenterTest : TestSupport::RegistryTest {
    void SetUp() override {
        TestSupport::RegistryTest::SetUp();
        presenter = std::make_unique<Ui::MainWindowPresenter>(
            nullptr, std::make_unique<testing_support::ScriptedPrompts>());
        presenter->getUpdateObservers().push_back(updates);
    }
    void TearDown() override {
        presenter.reset();
        TestSupport::RegistryTest::TearDown();
    }

    std::unique_ptr<Ui::MainWindowPresenter> presenter;
    std::shared_ptr<CountingObserver> updates = std::make_shared<CountingObserver>();
};

} // namespace

TEST_F(MaterialDialogsPresenterTest, AcceptedMaterialEditsAreRegisteredAndWritten) {
    whenOpen<Ui::Input::ManageMaterialsDialog>([](Ui::Input::ManageMaterialsDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("btnAddMaterial"))->click();
        auto* model = dialog.getModel();
        model->setData(model->index(0, 1), QStringLiteral("Silicon"));
        model->setData(model->index(0, 2), QColor(255, 0, 0, 255));
        model->setData(model->index(0, 5), QStringLiteral("0.275"));
        dialog.accept();
    });
    presenter->manageMaterials();

    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Silicon"));
    EXPECT_FLOAT_EQ(materials->getMaterial(1).getRed(), 1.f);
    EXPECT_FLOAT_EQ(materials->getMaterial(1).getGreen(), 0.f);
    EXPECT_EQ(materials->getMaterial(18).getName(), QStringLiteral("New Material"));
    EXPECT_FLOAT_EQ(materials->getMaterial(1).getPoissonRatio(), 0.275f);
    EXPECT_EQ(updates->count, 1);
    const QByteArray written = TestSupport::readSettingsFile(QStringLiteral("materials.xml"));
    EXPECT_TRUE(written.contains("\"Silicon\"")) << written.toStdString();
    EXPECT_TRUE(written.contains("poisson-ratio=\"0.275\"")) << written.toStdString();
    EXPECT_TRUE(written.contains("\"New Material\""));
}

TEST_F(MaterialDialogsPresenterTest, AcceptedColoursReachShownVolumesAndClearTheSelection) {
    auto volume = std::make_shared<Model::Automaton::TotalVolume>(
        2, 2, 2, 1.f, 1.f, 1.f, Util::Vector3D(), std::vector<int>(8, 1));
    volume->getPainter().rebuild();
    presenter->getDocument()->addObject(volume);
    presenter->getSelection().toggle(volume);

    whenOpen<Ui::Input::ManageMaterialsDialog>([](Ui::Input::ManageMaterialsDialog& dialog) {
        auto* model = dialog.getModel();
        model->setData(model->index(0, 2), QColor(0, 0, 255, 255));
        dialog.accept();
    });
    presenter->manageMaterials();

    EXPECT_FALSE(volume->isSelected());
    const auto& colors = volume->getPainter().getMaterialColors();
    ASSERT_EQ(colors.count(1u), 1u);
    EXPECT_FLOAT_EQ(colors.at(1u)[0], 0.f);
    EXPECT_FLOAT_EQ(colors.at(1u)[2], 1.f);
}

TEST_F(MaterialDialogsPresenterTest, CancelledMaterialEditsAreDiscarded) {
    whenOpen<Ui::Input::ManageMaterialsDialog>([](Ui::Input::ManageMaterialsDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("btnAddMaterial"))->click();
        dialog.getModel()->setData(dialog.getModel()->index(0, 1), QStringLiteral("Silicon"));
        dialog.reject();
    });
    presenter->manageMaterials();
    EXPECT_EQ(materials->getMaterial(1).getName(), QStringLiteral("Si"));
    EXPECT_EQ(materials->getMaterial(18).getId(), 0u);
    EXPECT_EQ(updates->count, 0);
}

TEST_F(MaterialDialogsPresenterTest, AcceptedCompatibleListsAreRegisteredAndSaved) {
    using Ui::Input::EditCompatibleMaterialsDialog;
    whenOpen<EditCompatibleMaterialsDialog>([](EditCompatibleMaterialsDialog& dialog) {
        auto* box = dialog.findChild<QComboBox*>(QStringLiteral("cbxProcess"));
        box->setCurrentIndex(box->findText(QStringLiteral("Planarization")));
        auto* left = dialog.findChild<QListWidget*>(QStringLiteral("listAvailableMaterials"));
        left->findItems(QStringLiteral("PDMS"), Qt::MatchExactly).front()->setSelected(true);
        dialog.findChild<QPushButton*>(QStringLiteral("btnInsert"))->click();
        dialog.accept();
    });
    presenter->manageCompatibleMaterials();

    EXPECT_EQ(processes->getProcess(QStringLiteral("Planarization")).getCompatibleMaterialIds(),
              std::list<uint32_t>{13});
    EXPECT_TRUE(TestSupport::readSettingsFile(QStringLiteral("processes.xml"))
                    .contains("name=\"Planarization\" process-id=\"7\">\n"
                              "        <CompatibleMaterials>13</CompatibleMaterials>"));
    // What was saved is what the next start reads.
    processes->createDefaultProcesses();
    ASSERT_TRUE(processes->loadProcesses());
    EXPECT_EQ(processes->getProcess(7u).getCompatibleMaterialIds(), std::list<uint32_t>{13});
}

TEST_F(MaterialDialogsPresenterTest, CancelledCompatibleListsAreDiscarded) {
    using Ui::Input::EditCompatibleMaterialsDialog;
    const QByteArray fileBefore = TestSupport::readSettingsFile(QStringLiteral("processes.xml"));
    whenOpen<EditCompatibleMaterialsDialog>([](EditCompatibleMaterialsDialog& dialog) {
        auto* right = dialog.findChild<QListWidget*>(QStringLiteral("listCompatibleMaterials"));
        right->item(0)->setSelected(true);
        dialog.findChild<QPushButton*>(QStringLiteral("btnRemove"))->click();
        dialog.reject();
    });
    presenter->manageCompatibleMaterials();
    EXPECT_EQ(processes->getProcess(1u).getCompatibleMaterialIds(), std::list<uint32_t>{1});
    EXPECT_EQ(TestSupport::readSettingsFile(QStringLiteral("processes.xml")), fileBefore);
}

} // namespace CELLVANE_TEST_FILE
