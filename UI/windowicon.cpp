#include "UI/windowicon.h"

#include <QColor>

namespace Ui {

QPixmap loadWindowIcon(const QString& file) {
    QPixmap icon(32, 32);
    if (icon.load(file) && !icon.isNull())
        return icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    icon = QPixmap(32, 32);
    icon.fill(QColor(207, 8, 12, 255));
    return icon;
}

} // namespace Ui
