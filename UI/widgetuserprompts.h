#pragma once

#include "Core/Operations/iuserprompts.h"

#include <QPointer>
#include <QWidget>

namespace Ui {

// Answers operations' questions with real modal dialogs over the main window.
class WidgetUserPrompts : public Core::Operations::IUserPrompts {
public:
    explicit WidgetUserPrompts(QWidget* parent) : parent(parent) {}

    void showMessage(Icon icon, const QString& title, const QString& text) override;
    bool confirm(const QString& title, const QString& text) override;
    SaveChoice askToSave(const QString& title, const QString& text) override;
    QString chooseSaveFile(const QString& caption, const QString& filter) override;
    QString chooseOpenFile(const QString& caption, const QString& filter) override;
    QString chooseSaveFileIn(const QString& caption, const QString& location,
                             const QString& filter) override;
    QString chooseOpenFileIn(const QString& caption, const QString& location,
                             const QString& filter) override;

private:
    QPointer<QWidget> parent;
};

} // namespace Ui
