#include "Core/Study/studyprogress.h"

#include <QTextStream>

#include <cmath>

namespace Core::Study {

StudyProgress::StudyProgress(QTextStream& out, bool terminal, int finishedAtStart)
    : out(out), terminal(terminal), finishedAtStart(finishedAtStart) {
    clock.start();
}

QString StudyProgress::duration(double seconds) {
    const long long whole = std::llround(seconds);
    if (whole < 60)
        return QStringLiteral("%1 s").arg(whole);
    if (whole < 3600)
        return QStringLiteral("%1 min %2 s").arg(whole / 60).arg(whole % 60);
    return QStringLiteral("%1 h %2 min").arg(whole / 3600).arg(whole / 60 % 60);
}

QString StudyProgress::line(const StudyStatus& status, int running, int finishedHere,
                            double elapsed, int pending) {
    const int total = int(status.variants.size());
    QString text = QStringLiteral("%1 of %2 done, %3 failed, %4 running")
                       .arg(status.done)
                       .arg(total)
                       .arg(status.failed)
                       .arg(running);
    if (pending > 0 && finishedHere > 0)
        text += QStringLiteral(", about %1 left")
                    .arg(duration(std::max(1.0, elapsed / finishedHere * pending)));
    return text;
}

void StudyProgress::show(const StudyStatus& status, int running) {
    const int finished = status.done + status.failed;
    const int finishedHere = std::max(0, finished - finishedAtStart);
    const int pending = int(status.variants.size()) - finished;
    const QString text =
        line(status, running, finishedHere, double(clock.elapsed()) / 1000.0, pending);
    if (terminal) {
        if (text != last)
            out << '\r' << text << QStringLiteral("\x1b[K") << Qt::flush;
    } else if (text.section(QStringLiteral(", "), 0, 2) !=
               last.section(QStringLiteral(", "), 0, 2)) {
        // In a log, a line when variants finish or the count of those running changes (a
        // cluster starts them in its own time), not one per estimate.
        out << text << Qt::endl;
    }
    last = text;
}

void StudyProgress::finish() {
    if (terminal && !last.isEmpty())
        out << Qt::endl;
    last.clear();
}

} // namespace Core::Study
