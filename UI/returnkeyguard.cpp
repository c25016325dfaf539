#include "UI/returnkeyguard.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>

namespace Ui {

namespace {

const char* const shownAtProperty = "cellvaneShownAt";
const char* const guardedProperty = "cellvaneGuardReturn";

} // namespace

ReturnKeyGuard::ReturnKeyGuard(QObject* parent) : QObject(parent) {
    clock.start();
}

void ReturnKeyGuard::guard(QWidget& dialog) {
    dialog.setProperty(guardedProperty, true);
}

void ReturnKeyGuard::install() {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application ||
        application->findChild<ReturnKeyGuard*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    application->installEventFilter(new ReturnKeyGuard(application));
}

bool ReturnKeyGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (auto* dialog = qobject_cast<QDialog*>(watched);
            dialog && dialog->property(guardedProperty).toBool())
            dialog->setProperty(shownAtProperty, clock.elapsed());
        return false;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    const auto* dialog = widget ? qobject_cast<const QDialog*>(widget->window()) : nullptr;
    if (!dialog || !dialog->property(guardedProperty).toBool())
        return false;
    const QVariant shownAt = dialog->property(shownAtProperty);
    if (key->isAutoRepeat())
        return true;
    return shownAt.isValid() && clock.elapsed() - shownAt.toLongLong() < settleTime;
}

} // namespace Ui
