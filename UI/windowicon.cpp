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

QIcon applicationIcon(const QString& file) {
    if (QPixmap(file).isNull()) {
        const QIcon installed = QIcon::fromTheme(QStringLiteral("cellvane"));
        if (!installed.isNull())
            return installed;
    }
    return QIcon(loadWindowIcon(file));
}

} // namespace Ui
