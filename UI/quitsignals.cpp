#include "UI/quitsignals.h"

#include "UI/mainwindow.h"
#include "UI/mainwindowpresenter.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Ui {

Q_LOGGING_CATEGORY(lcQuitSignals, "UI/quitsignals", QtInfoMsg)

namespace {

int signalPipe[2] = {-1, -1};
constexpr int handled[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number) {
    const unsigned char byte = static_cast<unsigned char>(number);
    // Only async-signal-safe calls here; a full pipe means a quit is on its way already.
    [[maybe_unused]] const auto written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) {
        qCWarning(lcQuitSignals) << "No pipe for signals; SIGTERM will end the program at once";
        return;
    }
    notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : handled)
        ::sigaction(number, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    for (const int number : handled)
        ::signal(number, SIG_DFL);
    delete notifier;
    for (int& fd : signalPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void QuitSignals::readSignal() {
    unsigned char byte = 0;
    if (::read(signalPipe[1], &byte, 1) == 1)
        quitKeepingWork(byte);
}

void QuitSignals::quitKeepingWork(int signal) {
    qCInfo(lcQuitSignals).nospace()
        << "Ending on signal " << signal << "; unsaved work is kept for the next start";
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<MainWindow*>(widget))
            window->getPresenter()->keepForRecovery();
    }
    // Leaves every event loop, a dialog's or a running step's included; a step that is running
    // finishes first, and the journal keeps the step before it.
    QCoreApplication::exit(128 + signal);
}

} // namespace Ui
