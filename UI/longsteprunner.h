#pragma once

#include "Util/progressreporter.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace Ui {

// Where a long step stands, written by the thread that runs it and read by the window.
class SharedProgress : public Util::ProgressReporter {
public:
    struct Reading {
        std::uint64_t total = 0;
        std::uint64_t done = 0;
        QString stage;
        bool cancelled = false;
    };

    void start(std::uint64_t total, const QString& stage = QString()) override;
    void advance(std::uint64_t steps = 1) override { done += steps; }
    bool wasCancelled() const override { return cancelled.load(); }

    void cancel() { cancelled = true; }
    Reading read() const;

private:
    mutable std::mutex lock;
    std::uint64_t total = 0;
    QString stage;
    std::atomic<std::uint64_t> done{0};
    std::atomic<bool> cancelled{false};
};

// The modal window of a long step: what runs, how far it is and a Cancel button.
class StepProgressDialog : public QDialog {
    Q_OBJECT
public:
    StepProgressDialog(QWidget* parent, const QString& name, bool cancellable,
                       int askBeforeCancelAfter = 0);

    void showReading(const SharedProgress::Reading& reading);
    // The text shown for a reading, e.g. "CVD: step 3 of 10".
    static QString describe(const QString& name, const SharedProgress::Reading& reading);

signals:
    void cancelRequested();

protected:
    // Escape and the window's close button mean Cancel, never a dialog left half-way; once the
    // step has run a while they ask first, as a stray Escape would throw that time away.
    void reject() override;

private:
    void askToCancel();

    QString name;
    int askAfter;
    QElapsedTimer running;
    QPointer<QMessageBox> question;
    QLabel* label;
    QProgressBar* bar;
    QPushButton* cancelButton;
};

// Runs a long piece of an operation's work on a thread of its own while the window waits in a
// local event loop, so that it keeps repainting. A piece that is not over after the show delay
// gets the modal progress window, which blocks every other input until the piece is over; until
// then user input waits in the queue. Whatever the work throws is rethrown to the caller.
class LongStepRunner {
public:
    static constexpr int defaultShowDelay = 500;
    // Milliseconds after which Escape asks before it cancels.
    static constexpr int defaultAskBeforeCancelAfter = 3000;

    explicit LongStepRunner(QWidget* parent) : parent(parent) {}

    void run(const QString& name, const std::function<void(Util::ProgressReporter&)>& work,
             bool cancellable);

    // Milliseconds before the progress window appears.
    void setShowDelay(int milliseconds) { showDelay = milliseconds; }
    void setAskBeforeCancelAfter(int milliseconds) { askAfter = milliseconds; }
    // The progress window of the piece running now, if it is shown (tests).
    StepProgressDialog* visibleDialog() const { return dialog; }

private:
    QPointer<QWidget> parent;
    int showDelay = defaultShowDelay;
    int askAfter = defaultAskBeforeCancelAfter;
    QPointer<StepProgressDialog> dialog;
};

} // namespace Ui
