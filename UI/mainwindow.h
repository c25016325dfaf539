#pragma once

#include "Core/Operations/iuserprompts.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QDockWidget;
class QLabel;
class QShortcut;

namespace Ui {

class GLWidget;
class MainWindowForm;
class MainWindowPresenter;
class OperationMapper;

namespace Observers {
class SelectionModeObserver;
class UpdateObserver;
} // namespace Observers

// The program's window: menus whose actions start operations by number or switch what the 3D
// view shows, the view itself as central widget, and a status bar that reports its camera.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Asks for the file a screen image goes to, starting in `directory`; empty on cancel.
    using ImageFileChooser = std::function<QString(
        QWidget* parent, const QString& caption, const QString& directory, const QString& filter)>;

    // `prompts` replaces the real message boxes and file choosers (tests).
    explicit MainWindow(QWidget* parent = nullptr,
                        std::unique_ptr<Core::Operations::IUserPrompts> prompts = {});
    ~MainWindow() override;

    MainWindowPresenter* getPresenter() const { return presenter; }
    // How the program starts: shows this window with its empty document, or, given documents,
    // opens each in a window of its own as File > Open does and closes this one, which stays
    // only when none of them could be read (the user then has a window and was told why).
    void showWithDocuments(const QStringList& fileNames);
    GLWidget* getGLWidget() const { return glWidget; }
    QAction* getUndoAction() const;
    QAction* getRedoAction() const;
    QDockWidget* getConsoleDock() const { return consoleDock; }
    QDockWidget* getCrossSectionDock() const { return crossSectionDock; }
    QDockWidget* getStepHistoryDock() const { return stepHistoryDock; }
    QString getImageDirectory() const { return imageDirectory; }
    void setImageFileChooser(ImageFileChooser chooser) { chooseImageFile = std::move(chooser); }

public slots:
    // Tells, once per change, that the unsaved work is no longer protected against a crash, or
    // is again; a label in the status bar stays while it is not.
    void showJournalProtection(bool protectedNow, const QString& message);
    void showConsole(bool show);
    void undoOperation();
    void redoOperation();
    void selectionToggled(bool checked);
    void lightingToggled(bool on);
    void renderObjectsToggled(bool on);
    void renderObjectEdgesToggled(bool on);
    void setView(const QString& viewAngle);
    void renderGridToggled(bool on);
    void snapToGridToggled(bool on);
    void changeGridSpacing();
    void changeWindowColors();
    // Writes the view's picture to `filename`, or asks for a file when it is empty. Returns
    // whether a file was written.
    bool saveImage(QString filename);
    bool saveImage() { return saveImage(QString()); }
    void showAboutInfo();
    void on_actionManage_Materials_triggered();
    void on_actionManage_Compatible_Materials_triggered();
    void on_actionNew_triggered();
    void on_actionSet_View_triggered();
    void on_actionSet_Lighting_triggered();
    void on_actionShow_Axis_toggled(bool show);
    void changeRotationValue_statusBar(std::vector<float> vector3d);
    void changeAxisPositionValue_staturBar(std::vector<float> vector3d);
    void changeViewPostionValue_statusBar(std::vector<float> vector2d);
    void changeZoomValue_statusBar(float value);
    void changeLampPosition_statusBar(std::vector<float> vector4d);
    void repaintCentralWidget();

    void setUndoText(const QString& name);
    void setRedoText(const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Asks before a modified document is thrown away.
    void closeEvent(QCloseEvent* event) override;

private:
    QString micrometres(float sceneUnits) const;
    void closeAsking(QCloseEvent* event);
    void createShortcuts();
    void createDocks();
    void mapOperations();
    void connectActions();
    void openViewProperties(int page);
    bool writeImage(const QString& filename);

    std::unique_ptr<Ui::MainWindowForm> form;
    MainWindowPresenter* presenter;
    OperationMapper* operationMapper;
    OperationMapper* viewMapper;
    QShortcut* enterShortcut;
    QShortcut* returnShortcut;
    QShortcut* escapeShortcut;
    GLWidget* glWidget;
    QDockWidget* consoleDock;
    QDockWidget* crossSectionDock;
    QDockWidget* stepHistoryDock;
    std::shared_ptr<Observers::UpdateObserver> updateObserver;
    std::shared_ptr<Observers::SelectionModeObserver> selectionModeObserver;
    QLabel* stepTime;
    QLabel* journalState;
    QString imageDirectory;
    ImageFileChooser chooseImageFile;
};

} // namespace Ui
