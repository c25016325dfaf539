#include "UI/widgetuserprompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace Ui {

void WidgetUserPrompts::showMessage(Icon icon, const QString& title, const QString& text) {
    switch (icon) {
    case Icon::Information: QMessageBox::information(parent, title, text); break;
    case Icon::Warning: QMessageBox::warning(parent, title, text); break;
    case Icon::Critical: QMessageBox::critical(parent, title, text); break;
    }
}

bool WidgetUserPrompts::confirm(const QString& title, const QString& text) {
    return QMessageBox::information(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

Core::Operations::IUserPrompts::SaveChoice WidgetUserPrompts::askToSave(const QString& title,
                                                                        const QString& text) {
    switch (QMessageBox::question(parent, title, text,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

QString WidgetUserPrompts::chooseSaveFile(const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

QString WidgetUserPrompts::chooseOpenFile(const QString& caption, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString WidgetUserPrompts::chooseSaveFileIn(const QString& caption, const QString& location,
                                            const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, location, filter);
}

QString WidgetUserPrompts::chooseOpenFileIn(const QString& caption, const QString& location,
                                            const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, location, filter);
}

} // namespace Ui
