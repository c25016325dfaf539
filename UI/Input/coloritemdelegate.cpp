#include "UI/Input/coloritemdelegate.h"

#include <QApplication>
#include <QColorDialog>
#include <QPainter>

#include <algorithm>

namespace Ui::Input {

namespace {

QColor cellColor(const QModelIndex& index) {
    const QVariant value = index.data(Qt::DisplayRole);
    return value.canConvert<QColor>() ? value.value<QColor>() : QColor();
}

} // namespace

ColorItemDelegate::ColorItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QWidget* ColorItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    auto* dialog = new QColorDialog(parent);
    dialog->setOption(QColorDialog::ShowAlphaChannel, true);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowTitle(QStringLiteral("Select Color"));
    // The view listens to the delegate's signals; createEditor is const only by signature.
    auto* self = const_cast<ColorItemDelegate*>(this);
    connect(dialog, &QColorDialog::accepted, self, [self, dialog] {
        emit self->commitData(dialog);
        emit self->closeEditor(dialog);
    });
    connect(dialog, &QColorDialog::rejected, self,
            [self, dialog] { emit self->closeEditor(dialog); });
    return dialog;
}

void ColorItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* dialog = qobject_cast<QColorDialog*>(editor);
    if (!dialog)
        return QStyledItemDelegate::setEditorData(editor, index);
    const QColor color = cellColor(index);
    if (color.isValid())
        dialog->setCurrentColor(color);
}

void ColorItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    auto* dialog = qobject_cast<QColorDialog*>(editor);
    if (!dialog)
        return QStyledItemDelegate::setModelData(editor, model, index);
    model->setData(index, dialog->currentColor(), Qt::EditRole);
}

void ColorItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex& index) const {
    if (!qobject_cast<QColorDialog*>(editor))
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
}

void ColorItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const QColor color = cellColor(index);
    if (!color.isValid())
        return QStyledItemDelegate::paint(painter, option, index);

    // Background and selection as for any cell, then a swatch and the colour's text.
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const int side = std::max(4, option.rect.height() - 6);
    const QRect swatch(option.rect.left() + 3, option.rect.top() + 3, side * 2, side);
    QRect text(option.rect);
    text.setLeft(swatch.right() + 6);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setBrush(color);
    painter->drawRect(swatch);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                      color.name(QColor::HexArgb).toUpper());
    painter->restore();
}

bool ColorItemDelegate::eventFilter(QObject* object, QEvent* event) {
    if (qobject_cast<QColorDialog*>(object))
        return false;
    return QStyledItemDelegate::eventFilter(object, event);
}

} // namespace Ui::Input
