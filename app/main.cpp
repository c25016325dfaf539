// cellvane: the window, with the documents given on the command line (or by the file manager)
// opened in it.
#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"
#include "UI/quitsignals.h"
#include "UI/recoveryoffer.h"
#include "UI/windowicon.h"

#include "app/commandline.h"

#include "Model/Materials/materialfactory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QMessageBox>
#include <QTextStream>

namespace {

const QString program = QStringLiteral("cellvane");

// Gives the exit code when the program should stop here, nothing when it should open its
// windows; `documents` receives the files to open.
std::optional<int> readArguments(QStringList& documents) {
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates MEMS micro-fabrication on a cell volume: create a substrate, apply\n"
        "fabrication steps one after another, look at the result in a 3D view, cut it open,\n"
        "undo and redo, save documents and run process lists in batch.\n"
        "\n"
        "Each document given opens in a window of its own, as File > Open opens it; one that\n"
        "cannot be read is reported and opens nothing. Without documents, or when none could\n"
        "be read, the window starts with an empty document.\n"
        "\n"
        "After every step the work is journaled in $XDG_CACHE_HOME/Cellvane/recovery (or\n"
        "~/.cache/Cellvane/recovery, or $TMPDIR/Cellvane-recovery-UID, a folder of the user's\n"
        "own, when the cache cannot be written); when a program dies with unsaved work, the\n"
        "next start offers it back, the steps since its last whole copy undoable. SIGTERM,\n"
        "SIGINT and SIGHUP end the program without questions and keep the unsaved work for\n"
        "that offer.\n"
        "\n"
        "Qt's own options (-platform, -style, -geometry, ...) apply as well."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"),
                                 QStringLiteral("Documents to open, each in a window of its own."),
                                 QStringLiteral("[DOC.cvx...]"));
    if (const auto stop = App::parseArguments(parser, help, err, program))
        return stop;
    documents = parser.positionalArguments();
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    if (App::asksOnlyForText(argc, argv)) {
        QCoreApplication text(argc, argv);
        QStringList ignored;
        if (const auto stop = readArguments(ignored))
            return *stop;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cellvane"));
    QApplication::setApplicationVersion(Util::version());
    QApplication::setWindowIcon(Ui::applicationIcon(QStringLiteral("icon.ico")));

    QStringList documents;
    if (const auto stop = readArguments(documents))
        return *stop;
    Ui::QuitSignals quitSignals;
    const std::vector<Ui::MainWindow*> recovered = Ui::RecoveryOffer::run();
    if (recovered.empty() || !documents.isEmpty()) {
        auto* window = new Ui::MainWindow();
        window->showWithDocuments(documents);
    }
    // Records of materials.xml that could not be loaded stay in the file; the user is told
    // which, once, without a question that would hold up the start.
    const QStringList refused = Model::Materials::MaterialFactory::getInstance()->getLoadProblems();
    if (!refused.isEmpty()) {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Materials"),
                                    QStringLiteral("Some materials could not be loaded:\n\n%1")
                                        .arg(refused.join(QLatin1Char('\n'))),
                                    QMessageBox::Ok);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    }
    const int status = app.exec();
    // After a signal the windows are left standing; their journals' last writes are not.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Ui::MainWindow*>(widget))
            window->getPresenter()->getJournal().waitForWrites();
    }
    return status;
}
