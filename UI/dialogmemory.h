#pragma once

#include <QString>
#include <QVariantMap>

#include <map>

class QDialog;
class QWidget;

namespace Ui {

// The values each step's dialog was last accepted with, for one document's session (File →
// New forgets them; they are not saved in the document). A dialog opens with them and gets a
// "Defaults" button that puts back the values it opens with when nothing is remembered.
//
// Values are read from and written to the dialog's named input widgets (spin boxes, combo
// boxes, check boxes, radio buttons, checkable group boxes, line edits, sliders), so every
// dialog is remembered the same way without code of its own.
class DialogMemory {
public:
    // Shows `dialog` modally as exec() does, filled with what was accepted under `key` before;
    // on acceptance its values are kept under `key`.
    int exec(QDialog& dialog, const QString& key);

    void clear() { remembered.clear(); }

    // Set true on a widget that only shows another's value in other units (µm beside cells):
    // it is neither kept nor put back, the value it follows is.
    static constexpr const char* derivedProperty = "cellvaneDerived";
    bool contains(const QString& key) const { return remembered.count(key) > 0; }

    // The values of `dialog`'s named input widgets, and putting them back.
    static QVariantMap capture(const QWidget& dialog);
    static void apply(QWidget& dialog, const QVariantMap& values);
    // The values the dialog shows, as the user reads them: "Film Thickness: 3 µm, Material:
    // Thermal Si02, Etch from below: no". Fields greyed out or hidden are left out.
    static QString describe(const QWidget& dialog);

private:
    std::map<QString, QVariantMap> remembered;
};

} // namespace Ui
