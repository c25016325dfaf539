#include "UI/mainwindow.h"

#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QPixmap>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellvane"));

    // The icon file is optional; without it the window still gets a recognisable red square.
    QPixmap icon(32, 32);
    if (icon.load(QStringLiteral("icon.ico")))
        icon = icon.scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    else
        icon.fill(QColor(207, 8, 12, 255));
    QApplication::setWindowIcon(QIcon(icon));

    auto* window = new Ui::MainWindow();
    window->showMaximized();
    return app.exec();
}
