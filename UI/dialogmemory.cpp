#include "UI/dialogmemory.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QBoxLayout>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

namespace Ui {

namespace {

// The widgets a user fills in, by the name the form gives them; Qt's own inner widgets (a spin
// box's line edit) carry names beginning "qt_" or none.
QList<QWidget*> inputs(const QWidget& dialog) {
    QList<QWidget*> found;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        const QString name = widget->objectName();
        // A field that only shows another in other units follows that one.
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")) &&
            !widget->property(DialogMemory::derivedProperty).toBool())
            found << widget;
    }
    return found;
}

// Switches first, then choices, then numbers: a switch may enable a field or a choice may set
// a number's range, and the remembered number must land after that.
int order(const QWidget* widget) {
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QGroupBox*>(widget))
        return 0;
    if (qobject_cast<const QComboBox*>(widget))
        return 1;
    return 2;
}

void applyOne(QWidget* widget, const QVariant& value) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        // Checking one radio button unchecks the others of its group; unchecking one by hand
        // would leave none.
        if (button->isCheckable() && (value.toBool() || !button->autoExclusive()))
            button->setChecked(value.toBool());
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        if (group->isCheckable())
            group->setChecked(value.toBool());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const QVariantList pair = value.toList();
        if (pair.size() != 2)
            return;
        int index = pair[0].isValid() ? combo->findData(pair[0]) : -1;
        if (index < 0)
            index = combo->findText(pair[1].toString());
        if (index >= 0)
            combo->setCurrentIndex(index);
        else if (combo->isEditable())
            combo->setEditText(pair[1].toString());
    } else if (auto* integer = qobject_cast<QSpinBox*>(widget)) {
        integer->setValue(value.toInt());
    } else if (auto* real = qobject_cast<QDoubleSpinBox*>(widget)) {
        real->setValue(value.toDouble());
    } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
        slider->setValue(value.toInt());
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(value.toString());
    }
}

// The label a form puts beside `field`: its buddy, or the label in the cell before it.
QString labelOf(const QWidget& dialog, QWidget* field) {
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->buddy() == field)
            return label->text();
    for (QGridLayout* grid : dialog.findChildren<QGridLayout*>()) {
        const int index = grid->indexOf(field);
        if (index < 0)
            continue;
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(index, &row, &column, &rows, &columns);
        if (column > 0)
            if (QLayoutItem* item = grid->itemAtPosition(row, column - 1))
                if (auto* label = qobject_cast<QLabel*>(item->widget()))
                    return label->text();
    }
    // A label just before the field in a row or column of widgets.
    for (QBoxLayout* box : dialog.findChildren<QBoxLayout*>()) {
        const int index = box->indexOf(field);
        if (index > 0)
            if (auto* label = qobject_cast<QLabel*>(box->itemAt(index - 1)->widget()))
                return label->text();
    }
    for (QFormLayout* form : dialog.findChildren<QFormLayout*>())
        if (QWidget* label = form->labelForField(field))
            if (auto* text = qobject_cast<QLabel*>(label))
                return text->text();
    return QString();
}

} // namespace

QString DialogMemory::describe(const QWidget& dialog) {
    QStringList parts;
    for (QWidget* widget : inputs(dialog)) {
        if (!widget->isEnabled() || !widget->isVisibleTo(&dialog))
            continue;
        QString value;
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (!button->isCheckable())
                continue;
            if (button->autoExclusive()) {
                if (button->isChecked())
                    parts << button->text().remove(QLatin1Char('&'));
                continue;
            }
            parts << button->text().remove(QLatin1Char('&')) + QStringLiteral(": ") +
                         (button->isChecked() ? QStringLiteral("yes") : QStringLiteral("no"));
            continue;
        }
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
            value = spin->text();
        else if (auto* combo = qobject_cast<QComboBox*>(widget))
            value = combo->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(widget))
            value = line->text();
        else
            continue;
        const QString label = labelOf(dialog, widget).remove(QLatin1Char('&')).trimmed();
        parts << (label.isEmpty() ? value : label + QStringLiteral(": ") + value);
    }
    return parts.join(QStringLiteral(", "));
}

QVariantMap DialogMemory::capture(const QWidget& dialog) {
    QVariantMap values;
    for (QWidget* widget : inputs(dialog)) {
        const QString name = widget->objectName();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (button->isCheckable())
                values[name] = button->isChecked();
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            if (group->isCheckable())
                values[name] = group->isChecked();
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            values[name] = QVariantList{combo->currentData(), combo->currentText()};
        } else if (auto* integer = qobject_cast<QSpinBox*>(widget)) {
            values[name] = integer->value();
        } else if (auto* real = qobject_cast<QDoubleSpinBox*>(widget)) {
            values[name] = real->value();
        } else if (auto* slider = qobject_cast<QSlider*>(widget)) {
            values[name] = slider->value();
        } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            values[name] = line->text();
        }
    }
    return values;
}

void DialogMemory::apply(QWidget& dialog, const QVariantMap& values) {
    QList<QWidget*> widgets = inputs(dialog);
    std::stable_sort(widgets.begin(), widgets.end(),
                     [](const QWidget* a, const QWidget* b) { return order(a) < order(b); });
    for (QWidget* widget : widgets) {
        const auto found = values.find(widget->objectName());
        if (found != values.end())
            applyOne(widget, found.value());
    }
}

int DialogMemory::exec(QDialog& dialog, const QString& key) {
    const QVariantMap defaults = capture(dialog);
    if (const auto found = remembered.find(key); found != remembered.end())
        apply(dialog, found->second);
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        QPushButton* reset = buttons->addButton(QDialogButtonBox::RestoreDefaults);
        reset->setText(QStringLiteral("Defaults"));
        reset->setObjectName(QStringLiteral("btnDefaults"));
        reset->setAutoDefault(false);
        QObject::connect(reset, &QPushButton::clicked, &dialog,
                         [&dialog, defaults] { apply(dialog, defaults); });
    }
    const int result = dialog.exec();
    if (result == QDialog::Accepted)
        remembered[key] = capture(dialog);
    return result;
}

} // namespace Ui
