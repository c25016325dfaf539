#include "UI/longsteprunner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
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

StepProgressDialog::StepProgressDialog(QWidget* parent, const QString& name, bool cancellable)
    : QDialog(parent), name(name), label(new QLabel(this)), bar(new QProgressBar(this)),
      cancelButton(new QPushButton(QStringLiteral("Cancel"), this)) {
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
    connect(cancelButton, &QPushButton::clicked, this, &StepProgressDialog::reject);
    showReading(SharedProgress::Reading());
}

QString StepProgressDialog::describe(const QString& name, const SharedProgress::Reading& reading) {
    if (reading.cancelled)
        return name + QStringLiteral(": Cancelling...");
    QString what = reading.stage.isEmpty() ? QStringLiteral("step") : reading.stage;
    if (reading.total == 0)
        return QStringLiteral("%1: %2").arg(name, what);
    // Steps are counted from one while they run; a run can end before its last step.
    const std::uint64_t current = std::min(reading.done + 1, reading.total);
    return QStringLiteral("%1: %2 %3 of %4").arg(name, what).arg(current).arg(reading.total);
}

void StepProgressDialog::showReading(const SharedProgress::Reading& reading) {
    label->setText(describe(name, reading));
    if (reading.total == 0 || reading.total > std::uint64_t(INT_MAX)) {
        // A run of unknown length moves a busy bar.
        bar->setRange(0, 0);
    } else {
        bar->setRange(0, int(reading.total));
        bar->setValue(int(std::min(reading.done, reading.total)));
    }
    cancelButton->setEnabled(!reading.cancelled);
}

void StepProgressDialog::reject() {
    if (cancelButton->isVisible() && cancelButton->isEnabled())
        emit cancelRequested();
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

    StepProgressDialog window(parent, name, cancellable);
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
