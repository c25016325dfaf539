#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace Ui {

// Keeps a Return or Enter meant for something else from pressing a dialog's default button:
// a key held down or pressed twice while a step's dialog opens would otherwise accept it with
// values the user never saw. A guarded dialog takes Return only once it has been on screen for
// a moment and never from a key's auto-repeat.
class ReturnKeyGuard : public QObject {
    Q_OBJECT
public:
    // Milliseconds a dialog is on screen before Return reaches it: well below the time anyone
    // needs to read it, well above the time queued keys take to arrive.
    static constexpr int settleTime = 300;

    // Watches the application's dialogs from now on; once per application.
    static void install();
    // Marks `dialog` (a step's dialog, opened by the Enter that continues its step) as one
    // to guard.
    static void guard(QWidget& dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ReturnKeyGuard(QObject* parent);

    QElapsedTimer clock;
};

} // namespace Ui
