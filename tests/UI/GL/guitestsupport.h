#pragma once

#include "UI/glwidget.h"
#include "UI/mainwindow.h"
#include "support/fakeoperations.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace gui_support {

// A shown, active main window whose dialogs are answered by a script.
struct ShownWindow {
    ShownWindow() {
        auto scripted = std::make_unique<testing_support::ScriptedPrompts>();
        prompts = scripted.get();
        window = new Ui::MainWindow(nullptr, std::move(scripted));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(800, 600);
        window->show();
        view = window->getGLWidget();
        const bool exposed = QTest::qWaitForWindowExposed(window);
        // Without a window manager nothing activates a window unless it asks.
        window->activateWindow();
        ready = exposed && QTest::qWaitForWindowActive(window);
        QApplication::processEvents();
    }
    ~ShownWindow() { delete window; }

    Ui::MainWindow* window = nullptr;
    Ui::GLWidget* view = nullptr;
    testing_support::ScriptedPrompts* prompts = nullptr;
    bool ready = false;
};

// Answers the next modal dialog: lets the test adjust it, then presses OK.
inline void acceptNextDialog(std::function<void(QDialog&)> adjust = {}) {
    QTimer::singleShot(0, [adjust] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (adjust)
                adjust(*dialog);
            dialog->accept();
        }
    });
}

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint position, Qt::MouseButton button,
                      Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {}) {
    QMouseEvent event(type, position, widget->mapToGlobal(position), button, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

inline void click(QWidget* widget, QPoint position) {
    sendMouse(widget, QEvent::MouseButtonPress, position, Qt::LeftButton, Qt::LeftButton);
    sendMouse(widget, QEvent::MouseButtonRelease, position, Qt::LeftButton, Qt::NoButton);
}

inline void wheel(QWidget* widget, int delta, Qt::KeyboardModifiers modifiers = {},
                  std::optional<QPoint> at = std::nullopt) {
    const QPoint centre = at.value_or(widget->rect().center());
    QWheelEvent event(centre, widget->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

inline int countPixels(const QImage& image, QRgb color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == (color & 0xffffff);
    return count;
}

inline int countDifferent(const QImage& a, const QImage& b) {
    if (a.size() != b.size())
        return -1;
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += (a.pixel(x, y) & 0xffffff) != (b.pixel(x, y) & 0xffffff);
    return count;
}

} // namespace gui_support
