#pragma once

#include <QMainWindow>

class QAction;

namespace Ui {

class MainWindowPresenter;
class OperationMapper;

// The program's window: menus whose actions start operations by number, the console beside
// it, and the Enter/Return/Escape keys that drive the running operation.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    MainWindowPresenter* getPresenter() const { return presenter; }
    QAction* getUndoAction() const { return actionUndo; }
    QAction* getRedoAction() const { return actionRedo; }

public slots:
    void setUndoText(const QString& name);
    void setRedoText(const QString& name);

private:
    void createActions();
    void createShortcuts();

    MainWindowPresenter* presenter;
    OperationMapper* operationMapper;
    QAction* actionUndo = nullptr;
    QAction* actionRedo = nullptr;
};

} // namespace Ui
