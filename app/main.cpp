#include "UI/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStyle>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellvane"));

    // The icon file is optional; without it the window keeps the platform's default icon.
    const QString iconFile = QStringLiteral("icon.ico");
    if (QFile::exists(iconFile))
        QApplication::setWindowIcon(QIcon(iconFile));
    else
        QApplication::setWindowIcon(app.style()->standardIcon(QStyle::SP_ComputerIcon));

    auto* window = new Ui::MainWindow();
    window->showMaximized();
    return app.exec();
}
