#pragma once

#include <QObject>

class QSocketNotifier;

namespace Ui {

// SIGTERM, SIGINT and SIGHUP (a desktop session closing, Ctrl+C, a closed terminal) end the
// program through its own quit path instead of killing it: no question is asked, every
// window's recovery journal is finished and kept, and the event loop exits with 128 + the
// signal's number. The handler only writes the number into a pipe; the rest runs on the
// user-interface thread when the pipe is read.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // What the handler's pipe leads to: keeps every window's work and exits the event loop.
    static void quitKeepingWork(int signal);

private:
    void readSignal();

    QSocketNotifier* notifier = nullptr;
};

} // namespace Ui
