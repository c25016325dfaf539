#include "UI/mainwindow.h"
#include "UI/windowicon.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellvane"));
    QApplication::setWindowIcon(QIcon(Ui::loadWindowIcon(QStringLiteral("icon.ico"))));

    auto* window = new Ui::MainWindow();
    window->showMaximized();
    return app.exec();
}
