#include "UI/mainwindow.h"

#include "Core/Operations/iuserprompts.h"
#include "Model/Export/imageexporter.h"
#include "UI/Input/changecolorsdialog.h"
#include "UI/Input/changegridspacingdialog.h"
#include "UI/Observers/selectionmodeobserver.h"
#include "UI/Observers/updateobserver.h"
#include "UI/aboutwindow.h"
#include "UI/crosssectionpanel.h"
#include "UI/glwidget.h"
#include "UI/mainwindowpresenter.h"
#include "UI/operationmapper.h"
#include "UI/returnkeyguard.h"
#include "UI/stephistorypanel.h"
#include "UI/viewproperties.h"
#include "Util/recentfolder.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QShortcut>
#include <QSignalBlocker>

namespace Ui {

namespace {

constexpr int statusTimeout = 5000;

QString number(float value) {
    return QString::number(double(value), 'g', 6);
}

float component(const std::vector<float>& values, std::size_t index) {
    return index < values.size() ? values[index] : 0.0f;
}

} // namespace

MainWindow::MainWindow(QWidget* parent, std::unique_ptr<Core::Operations::IUserPrompts> prompts)
    : QMainWindow(parent), form(std::make_unique<Ui::MainWindowForm>()),
      imageDirectory(QDir::homePath()),
      chooseImageFile([](QWidget* owner, const QString& caption, const QString& directory,
                         const QString& filter) {
          return QFileDialog::getSaveFileName(owner, caption, directory, filter);
      }) {
    setAttribute(Qt::WA_DeleteOnClose);
    ReturnKeyGuard::install();
    form->setupUi(this);
    presenter = new MainWindowPresenter(this, std::move(prompts));
    operationMapper = new OperationMapper(this);
    viewMapper = new OperationMapper(this);
    createShortcuts();

    glWidget = new GLWidget(this, presenter);
    setCentralWidget(glWidget);
    createDocks();
    updateObserver = std::make_shared<Observers::UpdateObserver>();
    presenter->getUpdateObservers().push_back(updateObserver);
    connect(updateObserver.get(), &Observers::UpdateObserver::updateGL, glWidget,
            &GLWidget::updateGL);

    // How long the last step took stays in view while the camera messages come and go.
    stepTime = new QLabel(this);
    stepTime->setObjectName(QStringLiteral("lblStepTime"));
    statusBar()->addPermanentWidget(stepTime);
    // Stays in view for as long as a crash would lose the unsaved work.
    journalState = new QLabel(QStringLiteral("Unsaved work is not protected"), this);
    journalState->setObjectName(QStringLiteral("lblJournalState"));
    journalState->setVisible(false);
    statusBar()->addPermanentWidget(journalState);
    connect(presenter, &MainWindowPresenter::journalProtectionChanged, this,
            &MainWindow::showJournalProtection);

    mapOperations();
    connectActions();

    selectionModeObserver = std::make_shared<Observers::SelectionModeObserver>(
        form->actionSelect, presenter->getSelection());
    presenter->getSelection().getSelectionModeObservers().push_back(selectionModeObserver);

    connect(glWidget, &GLWidget::rotationChanged, this, &MainWindow::changeRotationValue_statusBar);
    connect(glWidget, &GLWidget::axisPositionChanged, this,
            &MainWindow::changeAxisPositionValue_staturBar);
    connect(glWidget, &GLWidget::viewPositionChanged, this,
            &MainWindow::changeViewPostionValue_statusBar);
    connect(glWidget, &GLWidget::zoomChanged, this, &MainWindow::changeZoomValue_statusBar);
    connect(glWidget, &GLWidget::lampPositionChanged, this,
            &MainWindow::changeLampPosition_statusBar);
}

MainWindow::~MainWindow() {
    // The panels leave the presenter's observer lists as they go: before the presenter does.
    delete crossSectionDock;
    delete stepHistoryDock;
    // The presenter's context outlives nothing of ours, but the observers we put in its lists
    // point at widgets that are about to go.
    if (presenter) {
        auto& updates = presenter->getUpdateObservers();
        updates.erase(std::remove(updates.begin(), updates.end(),
                                  std::static_pointer_cast<Util::IObserver>(updateObserver)),
                      updates.end());
        auto& modes = presenter->getSelection().getSelectionModeObservers();
        modes.erase(std::remove(modes.begin(), modes.end(),
                                std::static_pointer_cast<Util::IObserver>(selectionModeObserver)),
                    modes.end());
    }
}

void MainWindow::showJournalProtection(bool protectedNow, const QString& message) {
    journalState->setToolTip(message);
    journalState->setVisible(!protectedNow);
    // Not modal: the step that found the trouble has finished, and the user may save at once.
    auto* box =
        new QMessageBox(protectedNow ? QMessageBox::Information : QMessageBox::Warning,
                        MainWindowPresenter::journalTitle(), message, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("journalMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

QAction* MainWindow::getUndoAction() const {
    return form->actionUndo;
}

QAction* MainWindow::getRedoAction() const {
    return form->actionRedo;
}

void MainWindow::createShortcuts() {
    enterShortcut = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    returnShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    escapeShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(enterShortcut, &QShortcut::activated, presenter, &MainWindowPresenter::enterPressed);
    connect(returnShortcut, &QShortcut::activated, presenter, &MainWindowPresenter::enterPressed);
    connect(escapeShortcut, &QShortcut::activated, presenter, &MainWindowPresenter::cancelPressed);
}

void MainWindow::mapOperations() {
    const std::pair<QAction*, unsigned> operations[] = {
        {form->actionCopy, 1},
        {form->actionCreate_Substrate, 2},
        {form->actionIon_Implantation, 3},
        {form->actionDelete, 4},
        {form->actionChange_Viewing_Options, 6},
        {form->actionMove, 7},
        {form->actionExtract_Film, 8},
        {form->actionSave, 9},
        {form->actionSave_as, 10},
        {form->actionOpen, 11},
        {form->actionGlue_Substrate, 12},
        {form->actionCVD, 13},
        {form->actionIsotropic_Film_Etching, 14},
        {form->actionRelease_Etch, 34},
        {form->actionElectrodeposition, 15},
        {form->actionCut_Cell_Volume, 16},
        {form->actionDoping, 17},
        {form->actionMoore_Deposition, 18},
        {form->actionMoore_Etching, 19},
        {form->actionPhotolithography, 20},
        {form->actionPlanarization, 22},
        {form->actionSpin_Coating, 23},
        {form->actionBatch_Run, 24},
        {form->actionSi_Oxidation, 26},
        {form->actionPVD, 27},
        {form->actionBCA_Wet_Etching, 28},
        {form->actionContinuous_Wet_Etching, 29},
        {form->actionSimple_RIE, 30},
        {form->actionFlux_Etching, 31},
        {form->actionFlux_Deposition, 32},
        {form->actionBosch_DRIE, 33},
        {form->actionExport_Mesh, 40},
        {form->actionExport_Volume, 41},
        {form->actionMeasure_Distance, 50},
        {form->actionStack_at_Point, 51},
        {form->actionFree_Structures, 52},
        {form->actionSave_Cross_Section, 42},
        {form->actionModel_Extraction, 1000},
    };
    for (const auto& [action, number] : operations) {
        operationMapper->map(action, number);
        presenter->setStepName(int(number), action->text());
    }
    connect(operationMapper, &OperationMapper::activated, presenter,
            &MainWindowPresenter::operationActivated);

    const std::pair<QAction*, const char*> views[] = {
        {form->actionFront_View, "front"}, {form->actionBack_view, "back"},
        {form->actionTop_View, "top"},     {form->actionBottom_View, "bottom"},
        {form->actionLeft_View, "left"},   {form->actionRight_View, "right"},
    };
    for (const auto& [action, name] : views)
        viewMapper->map(action, QString::fromLatin1(name));
    connect(viewMapper, &OperationMapper::activated, this, &MainWindow::setView);
}

void MainWindow::connectActions() {
    connect(form->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(form->actionConsole, &QAction::toggled, this, &MainWindow::showConsole);
    connect(form->actionUndo, &QAction::triggered, this, &MainWindow::undoOperation);
    connect(form->actionRedo, &QAction::triggered, this, &MainWindow::redoOperation);
    connect(form->actionSelect, &QAction::toggled, this, &MainWindow::selectionToggled);
    connect(form->actionRender_Objects, &QAction::toggled, this, &MainWindow::renderObjectsToggled);
    connect(form->actionLighting, &QAction::toggled, this, &MainWindow::lightingToggled);
    connect(form->actionRender_Object_Edges, &QAction::toggled, this,
            &MainWindow::renderObjectEdgesToggled);
    connect(form->actionGrid, &QAction::toggled, this, &MainWindow::renderGridToggled);
    connect(form->actionSnap_to_Grid, &QAction::toggled, this, &MainWindow::snapToGridToggled);
    connect(form->actionGrid_Spacing, &QAction::triggered, this, &MainWindow::changeGridSpacing);
    connect(form->actionAbout_Cellvane, &QAction::triggered, this, &MainWindow::showAboutInfo);
    connect(form->actionConfigure_Window_Colors, &QAction::triggered, this,
            &MainWindow::changeWindowColors);
    connect(form->actionSave_Image, &QAction::triggered, this, [this] { saveImage(); });

    connect(presenter, &MainWindowPresenter::documentModifiedChanged, this,
            &QWidget::setWindowModified);
    connect(presenter, &MainWindowPresenter::stepTimed, stepTime, &QLabel::setText);
    connect(presenter, &MainWindowPresenter::undoNameChanged, this, &MainWindow::setUndoText);
    connect(presenter, &MainWindowPresenter::redoNameChanged, this, &MainWindow::setRedoText);

    // Closing the console with its own title-bar button must clear the menu check too.
    consoleDock->installEventFilter(this);
}

void MainWindow::createDocks() {
    // Docked, the console can never fall behind the window it talks about; it can still be
    // moved to any side or floated beside the window.
    consoleDock = new QDockWidget(QStringLiteral("Console"), this);
    consoleDock->setObjectName(QStringLiteral("dockConsole"));
    consoleDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                             QDockWidget::DockWidgetFloatable);
    if (QWidget* console = presenter->getConsole())
        consoleDock->setWidget(console);
    addDockWidget(Qt::BottomDockWidgetArea, consoleDock);
    // A few lines of messages at start; the user drags the splitter for more.
    resizeDocks({consoleDock}, {160}, Qt::Vertical);

    // The cross-section and the step history sit at the right, hidden until asked for.
    const auto panel = [this](const QString& title, const char* name, QWidget* content) {
        auto* dock = new QDockWidget(title, this);
        dock->setObjectName(QString::fromLatin1(name));
        dock->setWidget(content);
        addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->hide();
        return dock;
    };
    crossSectionDock = panel(QStringLiteral("Cross-Section"), "dockCrossSection",
                             new CrossSectionPanel(*presenter, this));
    stepHistoryDock = panel(QStringLiteral("Step History"), "dockStepHistory",
                            new StepHistoryPanel(*presenter, this));
    QAction* crossSection = crossSectionDock->toggleViewAction();
    crossSection->setObjectName(QStringLiteral("actionCross_Section"));
    crossSection->setStatusTip(QStringLiteral("Show the cross-section of the current cut plane."));
    const QList<QAction*> rendering = form->menuRendering->actions();
    const int cut = rendering.indexOf(form->actionCut_Cell_Volume);
    form->menuRendering->insertAction(rendering.value(cut + 1), crossSection);
    QAction* history = stepHistoryDock->toggleViewAction();
    history->setObjectName(QStringLiteral("actionStep_History"));
    history->setStatusTip(QStringLiteral("Show the steps applied to the selected cell volume."));
    form->menuWindows->addAction(history);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool shown = event->type() == QEvent::Show;
    const bool hidden = event->type() == QEvent::Hide;
    // Spontaneous hides come from minimising the main window, not from the user's choice.
    if ((shown || hidden) && !event->spontaneous() && watched == consoleDock) {
        const QSignalBlocker blocker(form->actionConsole);
        form->actionConsole->setChecked(shown);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    closeAsking(event);
    // Closed for good: nothing of it is left to recover.
    if (event->isAccepted())
        presenter->discardRecovery();
}

void MainWindow::closeAsking(QCloseEvent* event) {
    if (!presenter->getDocument()->isModified()) {
        event->accept();
        return;
    }
    using Choice = Core::Operations::IUserPrompts::SaveChoice;
    // With several windows open the question must say which document it means.
    const QString fileName = presenter->getDocument()->getFileName();
    const Choice choice = presenter->getPrompts().askToSave(
        windowTitle().remove(QStringLiteral("[*]")).trimmed(),
        fileName.isEmpty()
            ? QStringLiteral("Save changes to the new document?")
            : QStringLiteral("Save changes to %1?").arg(QFileInfo(fileName).fileName()));
    // A save that was cancelled or failed keeps the window: closing now would lose the work.
    if (choice == Choice::Discard || (choice == Choice::Save && presenter->saveDocument()))
        event->accept();
    else
        event->ignore();
}

void MainWindow::setUndoText(const QString& name) {
    form->actionUndo->setText(QStringLiteral("Undo ") + name);
    form->actionUndo->setEnabled(!name.isEmpty());
}

void MainWindow::setRedoText(const QString& name) {
    form->actionRedo->setText(QStringLiteral("Redo ") + name);
    form->actionRedo->setEnabled(!name.isEmpty());
}

// --- slots ------------------------------------------------------------------------------

void MainWindow::showConsole(bool show) {
    consoleDock->setVisible(show);
}

void MainWindow::undoOperation() {
    presenter->undo();
    glWidget->update();
}

void MainWindow::redoOperation() {
    presenter->redo();
    glWidget->update();
}

void MainWindow::selectionToggled(bool checked) {
    presenter->setSelectionMode(checked);
}

void MainWindow::lightingToggled(bool on) {
    glWidget->setLighting(on);
}

void MainWindow::renderObjectsToggled(bool on) {
    glWidget->setRenderObjects(on);
}

void MainWindow::renderObjectEdgesToggled(bool on) {
    glWidget->setRenderEdges(on);
}

void MainWindow::setView(const QString& viewAngle) {
    glWidget->setNamedView(viewAngle);
}

void MainWindow::renderGridToggled(bool on) {
    glWidget->setShowGrid(on);
}

void MainWindow::snapToGridToggled(bool on) {
    glWidget->setSnapToGrid(on);
}

void MainWindow::changeGridSpacing() {
    // The dialog speaks µm; the view keeps scene units.
    const double scale = presenter->getDocument()->getMicrometresPerSceneUnit();
    Input::ChangeGridSpacingDialog dialog(glWidget->getGridSpacing() * scale, this);
    if (dialog.exec() == QDialog::Accepted)
        glWidget->setGridSpacing(dialog.spacing() / scale);
}

void MainWindow::changeWindowColors() {
    Input::ChangeColorsDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        dialog.applyToColorScheme();
        glWidget->update();
    }
}

bool MainWindow::saveImage(QString filename) {
    if (filename.isEmpty()) {
        filename = chooseImageFile ? chooseImageFile(this, QStringLiteral("Save Screen Image"),
                                                     Util::RecentFolder::get(),
                                                     QStringLiteral("Images (*.png *.xpm *.jpg)"))
                                   : QString();
        if (filename.isEmpty())
            return false;
        // The file dialog does not add the suffix of its filter; a bare name becomes a PNG.
        if (QFileInfo(filename).suffix().isEmpty())
            filename += QStringLiteral(".png");
    }
    imageDirectory = filename;
    Util::RecentFolder::remember(filename);
    return writeImage(filename);
}

bool MainWindow::writeImage(const QString& filename) {
    auto& prompts = presenter->getPrompts();
    const QString title = QStringLiteral("Error writing to file");
    const QImage image = glWidget->grabScene();
    if (image.isNull()) {
        prompts.showMessage(Core::Operations::IUserPrompts::Icon::Critical, title,
                            QStringLiteral("The 3D view could not be captured."));
        return false;
    }
    // A name without a suffix still gets a PNG rather than nothing.
    const Model::Export::ExportResult written =
        Model::Export::ImageExporter::write(image, filename);
    if (written.ok)
        return true;
    prompts.showMessage(Core::Operations::IUserPrompts::Icon::Critical, title, written.error);
    return false;
}

void MainWindow::showWithDocuments(const QStringList& fileNames) {
    bool opened = false;
    for (const QString& fileName : fileNames) {
        if (MainWindow* window = presenter->openDocument(fileName)) {
            opened = true;
            // Each window opens offset from the asking one; following the last keeps them
            // cascading where nothing maximizes them, instead of stacking exactly.
            setGeometry(window->normalGeometry());
        }
    }
    if (opened)
        close();
    else
        showMaximized();
}

void MainWindow::showAboutInfo() {
    AboutWindow about(this);
    about.exec();
}

void MainWindow::on_actionManage_Materials_triggered() {
    presenter->manageMaterials();
}

void MainWindow::on_actionManage_Compatible_Materials_triggered() {
    presenter->manageCompatibleMaterials();
}

void MainWindow::on_actionNew_triggered() {
    presenter->newDocument();
    // A cleared document has no file any more; a cancelled "New" keeps its name and title.
    if (presenter->getDocument()->getFileName().isEmpty())
        setWindowTitle(QStringLiteral("Cellvane[*]"));
}

void MainWindow::on_actionSet_View_triggered() {
    openViewProperties(0);
}

void MainWindow::on_actionSet_Lighting_triggered() {
    openViewProperties(1);
}

void MainWindow::openViewProperties(int page) {
    ViewProperties dialog(this);
    ViewSettings current;
    const Camera& camera = glWidget->getCamera();
    current.translation = camera.translation;
    current.angles = camera.angles;
    current.viewOffset = camera.viewOffset;
    current.zoomPercent = glWidget->getZoom() * 100.0f;
    current.lamps = glWidget->getLamps();
    // Distances in the dialog are µm; the view keeps scene units.
    const auto scaled = [](ViewSettings settings, float factor) {
        for (float& d : settings.translation)
            d *= factor;
        for (float& d : settings.viewOffset)
            d *= factor;
        for (float& r : settings.lamps.radius)
            r *= factor;
        return settings;
    };
    const auto scale = float(presenter->getDocument()->getMicrometresPerSceneUnit());
    dialog.setSettings(scaled(current, scale));
    dialog.setCurrentPage(page);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const ViewSettings chosen = scaled(dialog.settings(), 1.0f / scale);
    glWidget->setViewOffset(chosen.viewOffset[0], chosen.viewOffset[1]);
    glWidget->setTranslation(chosen.translation[0], chosen.translation[1], chosen.translation[2]);
    glWidget->setRotationAngles(chosen.angles[0], chosen.angles[1], chosen.angles[2]);
    if (chosen.zoomPercent > 0.0f)
        glWidget->setZoom(100.0f / chosen.zoomPercent);
    glWidget->setLamps(chosen.lamps);
}

void MainWindow::on_actionShow_Axis_toggled(bool show) {
    glWidget->setShowAxis(show);
}

// --- status bar -------------------------------------------------------------------------

// A length of the scene as the user reads it: in µm, at the document's scale.
QString MainWindow::micrometres(float sceneUnits) const {
    return number(float(sceneUnits * presenter->getDocument()->getMicrometresPerSceneUnit())) +
           QStringLiteral(" µm");
}

void MainWindow::changeRotationValue_statusBar(std::vector<float> vector3d) {
    statusBar()->showMessage(QStringLiteral("Rotation angles: X Axis = ") +
                                 number(component(vector3d, 0)) + QStringLiteral(" Y Axis = ") +
                                 number(component(vector3d, 1)) + QStringLiteral(" Z axis = ") +
                                 number(component(vector3d, 2)),
                             statusTimeout);
}

void MainWindow::changeAxisPositionValue_staturBar(std::vector<float> vector3d) {
    statusBar()->showMessage(QStringLiteral("Volume position in relation to the axes: X = ") +
                                 micrometres(component(vector3d, 0)) + QStringLiteral(" Y = ") +
                                 micrometres(component(vector3d, 1)) + QStringLiteral(" Z = ") +
                                 micrometres(component(vector3d, 2)),
                             statusTimeout);
}

void MainWindow::changeViewPostionValue_statusBar(std::vector<float> vector2d) {
    statusBar()->showMessage(QStringLiteral("Volume position in relation to the screen: X = ") +
                                 micrometres(component(vector2d, 0)) + QStringLiteral(" Y = ") +
                                 micrometres(component(vector2d, 1)),
                             statusTimeout);
}

void MainWindow::changeZoomValue_statusBar(float value) {
    statusBar()->showMessage(QStringLiteral("Zoom = ") + number(value) + QStringLiteral("%"),
                             statusTimeout);
}

void MainWindow::changeLampPosition_statusBar(std::vector<float> vector4d) {
    statusBar()->showMessage(
        QStringLiteral("Lamp ") + QString::number(int(component(vector4d, 0))) +
            QStringLiteral(" Position : Radius = ") + micrometres(component(vector4d, 1)) +
            QStringLiteral(" Angle θ = ") + number(component(vector4d, 2)) +
            QStringLiteral(" Angle φ = ") + number(component(vector4d, 3)),
        statusTimeout);
}

void MainWindow::repaintCentralWidget() {
    // Through updateGL, so that a volume created meanwhile is framed.
    glWidget->updateGL();
    glWidget->repaint();
}

} // namespace Ui
