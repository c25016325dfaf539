#include "UI/mainwindow.h"

#include "UI/mainwindowpresenter.h"
#include "UI/operationmapper.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>

namespace Ui {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), presenter(new MainWindowPresenter(this)),
      operationMapper(new OperationMapper(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Cellvane"));
    resize(800, 600);
    auto* placeholder = new QLabel(this);
    placeholder->setAlignment(Qt::AlignCenter);
    setCentralWidget(placeholder);

    createActions();
    createShortcuts();
    connect(operationMapper, &OperationMapper::activated, presenter,
            &MainWindowPresenter::operationActivated);
    connect(presenter, &MainWindowPresenter::undoNameChanged, this, &MainWindow::setUndoText);
    connect(presenter, &MainWindowPresenter::redoNameChanged, this, &MainWindow::setRedoText);
    setUndoText(QString());
    setRedoText(QString());
}

void MainWindow::createActions() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("File"));
    QAction* actionNew = fileMenu->addAction(QStringLiteral("New"));
    actionNew->setObjectName(QStringLiteral("actionNew"));
    connect(actionNew, &QAction::triggered, presenter, &MainWindowPresenter::newDocument);
    fileMenu->addSeparator();
    QAction* actionExit = fileMenu->addAction(QStringLiteral("Exit"));
    actionExit->setObjectName(QStringLiteral("actionExit"));
    connect(actionExit, &QAction::triggered, this, &QWidget::close);

    QMenu* editMenu = menuBar()->addMenu(QStringLiteral("Edit"));
    actionUndo = editMenu->addAction(QStringLiteral("Undo"));
    actionUndo->setObjectName(QStringLiteral("actionUndo"));
    actionUndo->setShortcut(QKeySequence::Undo);
    connect(actionUndo, &QAction::triggered, presenter, [this] { presenter->undo(); });
    actionRedo = editMenu->addAction(QStringLiteral("Redo"));
    actionRedo->setObjectName(QStringLiteral("actionRedo"));
    actionRedo->setShortcut(QKeySequence::Redo);
    connect(actionRedo, &QAction::triggered, presenter, &MainWindowPresenter::redo);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("View"));
    QAction* actionConsole = viewMenu->addAction(QStringLiteral("Show Console"));
    actionConsole->setObjectName(QStringLiteral("actionShowConsole"));
    actionConsole->setCheckable(true);
    actionConsole->setChecked(true);
    connect(actionConsole, &QAction::toggled, presenter, &MainWindowPresenter::showConsole);
}

void MainWindow::createShortcuts() {
    auto* enter = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    auto* ret = new QShortcut(QKeySequence(Qt::Key_Return), this);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(enter, &QShortcut::activated, presenter, &MainWindowPresenter::enterPressed);
    connect(ret, &QShortcut::activated, presenter, &MainWindowPresenter::enterPressed);
    connect(escape, &QShortcut::activated, presenter, &MainWindowPresenter::cancelPressed);
}

void MainWindow::setUndoText(const QString& name) {
    actionUndo->setText(QStringLiteral("Undo ") + name);
    actionUndo->setEnabled(!name.isEmpty());
}

void MainWindow::setRedoText(const QString& name) {
    actionRedo->setText(QStringLiteral("Redo ") + name);
    actionRedo->setEnabled(!name.isEmpty());
}

} // namespace Ui
