#pragma once

#include <QString>

namespace Core::Operations {

// The few modal questions operations ask themselves. The presenter answers with real dialogs;
// tests answer with scripted values.
class IUserPrompts {
public:
    enum class Icon { Information, Warning, Critical };
    enum class SaveChoice { Save, Discard, Cancel };

    virtual ~IUserPrompts() = default;
    virtual void showMessage(Icon icon, const QString& title, const QString& text) = 0;
    // True when the user chose OK.
    virtual bool confirm(const QString& title, const QString& text) = 0;
    // Save, Discard or Cancel, for work that would otherwise be lost.
    virtual SaveChoice askToSave(const QString& title, const QString& text) = 0;
    // Empty when the user cancelled.
    virtual QString chooseSaveFile(const QString& caption, const QString& filter) = 0;
    virtual QString chooseOpenFile(const QString& caption, const QString& filter) = 0;
    // The same, with the dialog opening at `location` (a folder, or a file in the folder
    // meant). Answerers that cannot place a dialog ask the plain question.
    virtual QString chooseSaveFileIn(const QString& caption, const QString& location,
                                     const QString& filter) {
        (void)location;
        return chooseSaveFile(caption, filter);
    }
    virtual QString chooseOpenFileIn(const QString& caption, const QString& location,
                                     const QString& filter) {
        (void)location;
        return chooseOpenFile(caption, filter);
    }
};

} // namespace Core::Operations
