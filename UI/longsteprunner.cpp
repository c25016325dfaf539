#include "UI/longsteprunner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>

namespace Ui {

void SharedProgress::start(std::uint64_t steps, const QString& name) {
    const std::lock_guard<std::mutex> guard(lock);
    total = steps;
    stage = name;
    done = 0;
}

SharedProgress::Reading SharedProgress::read() const {
    Reading reading;
    {
        const std::lock_guard<std::mutex> guard(lock);
        reading.total = total;
        reading.stage = stage;
    }
    reading.done = done.load();
    reading.cancelled = cancelled.load();
    return reading;
}

StepProgressDialog::StepProgressDialog(QWidget* parent, const QString& name, bool cancellable,
                                       int askBeforeCancelAfter)
    : QDialog(parent), name(name), askAfter(askBeforeCancelAfter), label(new QLabel(this)),
      bar(new QProgressBar(this)), cancelButton(new QPushButton(QStringLiteral("Cancel"), this)) {
    setObjectName(QStringLiteral("StepProgressDialog"));
    setWindowTitle(name);
    setWindowModality(Qt::ApplicationModal);
    label->setObjectName(QStringLiteral("lblProgress"));
    label->setMinimumWidth(320);
    bar->setObjectName(QStringLiteral("prbProgress"));
    cancelButton->setObjectName(QStringLiteral("btnCancel"));
    cancelButton->setVisible(cancellable);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addLayout(buttons);
    // The button is a deliberate choice: it cancels at once.
    connect(cancelButton, &QPushButton::clicked, this, [this] {
        if (cancelButton->isEnabled())
            emit cancelRequested();
    });
    showReading(SharedProgress::Reading());
    running.start();
}

QString StepProgressDialog::describe(const QString& name, const SharedProgress::Reading& reading) {
    if (reading.cancelled)
        return name + QStringLiteral(": Cancelling...");
    QString what = reading.stage.isEmpty() ? QStringLiteral("step") : reading.stage;
    // A stage of one step tells nothing by its count: "1 of 1" would stand there until it ends.
    if (reading.total <= 1)
        return QStringLiteral("%1: %2").arg(name, what);
    // Steps are counted from one while they run; a run can end before its last step.
    const std::uint64_t current = std::min(reading.done + 1, reading.total);
    return QStringLiteral("%1: %2 %3 of %4").arg(name, what).arg(current).arg(reading.total);
}

void StepProgressDialog::showReading(const SharedProgress::Reading& reading) {
    label->setText(describe(name, reading));
    if (reading.total <= 1 || reading.total > std::uint64_t(INT_MAX)) {
        // A run of unknown length, or of one step that reports nothing until it is over, moves
        // a busy bar rather than sitting at 0 %.
        bar->setRange(0, 0);
    } else {
        bar->setRange(0, int(reading.total));
        bar->setValue(int(std::min(reading.done, reading.total)));
    }
    cancelButton->setEnabled(!reading.cancelled);
}

void StepProgressDialog::reject() {
    if (!cancelButton->isVisible() || !cancelButton->isEnabled())
        return;
    if (running.elapsed() < askAfter) {
        emit cancelRequested();
        return;
    }
    askToCancel();
}

void StepProgressDialog::askToCancel() {
    if (question)
        return;
    const qint64 seconds = running.elapsed() / 1000;
    // Not a nested event loop: the step runs on while the question waits, and the question
    // goes with this window when the step ends first.
    question = new QMessageBox(
        QMessageBox::Question, name,
        QStringLiteral("%1 has run for %2 s. Cancel it? What it has done so far is undone.")
            .arg(name)
            .arg(seconds),
        QMessageBox::NoButton, this);
    question->setObjectName(QStringLiteral("msgConfirmCancel"));
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* stop = question->addButton(QStringLiteral("Cancel Step"), QMessageBox::AcceptRole);
    stop->setObjectName(QStringLiteral("btnCancelStep"));
    QPushButton* carryOn = question->addButton(QStringLiteral("Continue"), QMessageBox::RejectRole);
    carryOn->setObjectName(QStringLiteral("btnContinue"));
    question->setDefaultButton(carryOn);
    question->setEscapeButton(carryOn);
    connect(question, &QMessageBox::buttonClicked, this, [this, stop](QAbstractButton* clicked) {
        if (clicked == stop && cancelButton->isEnabled())
            emit cancelRequested();
    });
    question->open();
}

void LongStepRunner::run(const QString& name,
                         const std::function<void(Util::ProgressReporter&)>& work,
                         bool cancellable) {
    SharedProgress progress;
    std::exception_ptr failure;
    std::atomic<bool> over{false};
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
        over = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    }));
    worker->setObjectName(QStringLiteral("Long step"));

    StepProgressDialog window(parent, name, cancellable, askAfter);
    QObject::connect(&window, &StepProgressDialog::cancelRequested, [&] {
        progress.cancel();
        window.showReading(progress.read());
    });
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(100);
    bool shown = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!shown && clock.elapsed() >= showDelay) {
            shown = true;
            window.show();
            dialog = &window;
            // Go round again taking user input, which the window now receives alone.
            loop.quit();
        }
        if (shown)
            window.showReading(progress.read());
    });

    worker->start();
    poll.start();
    while (!over)
        loop.exec(shown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    poll.stop();
    dialog = nullptr;
    window.hide();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace Ui
