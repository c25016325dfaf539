#pragma once

#include <QStyledItemDelegate>

namespace Ui::Input {

// Edits a colour cell with a colour dialog (alpha shown) opened on the cell's colour; when the
// user accepts the dialog its colour goes to the model. Cells are painted as a swatch with the
// colour's "#AARRGGBB" text.
class ColorItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ColorItemDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    // The editor is a dialog window of its own, not squeezed into the cell.
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    // The dialog handles its own keys and focus; the item-view defaults would close it as soon
    // as focus moves inside it.
    bool eventFilter(QObject* object, QEvent* event) override;
};

} // namespace Ui::Input
