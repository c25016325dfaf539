#pragma once

#include "Util/iobserver.h"

#include <QPointer>

#include <functional>

namespace Ui {
class MainWindow;
class MainWindowPresenter;
} // namespace Ui

namespace Ui::Observers {

// Opens the document last chosen for opening in a main window of its own; the window the
// user asked from keeps its document.
//
// The file is read before the new window exists, so a file that cannot be read is reported
// over the asking window and no empty window is left behind.
class DocumentOpenedObserver : public Util::IObserver {
public:
    using WindowFactory = std::function<MainWindow*()>;

    // `createWindow` builds the new window (tests give theirs scripted prompts); by default it
    // is a plain MainWindow.
    explicit DocumentOpenedObserver(MainWindowPresenter& origin, WindowFactory createWindow = {});
    void update() override;

    // The window the last update opened, while it is open.
    MainWindow* getOpenedWindow() const;

private:
    QPointer<MainWindowPresenter> origin;
    WindowFactory createWindow;
    QPointer<MainWindow> opened;
};

} // namespace Ui::Observers
