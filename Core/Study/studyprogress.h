#pragma once

#include "Core/Study/variantstatus.h"

#include <QElapsedTimer>
#include <QString>

class QTextStream;

namespace Core::Study {

// The one line a study shows while it runs: done, failed, running and the time left. On a
// terminal the line is rewritten in place; elsewhere (a log, a batch job's output) a new line
// is written only when the counts change.
class StudyProgress {
public:
    StudyProgress(QTextStream& out, bool terminal, int finishedAtStart);

    void show(const StudyStatus& status, int running);
    // Ends the line, so that what follows starts on a line of its own.
    void finish();

    // "4 of 6 done, 1 failed, 1 running, about 2 min left" (the estimate from the variants
    // finished in this run; none before the first).
    static QString line(const StudyStatus& status, int running, int finishedHere, double elapsed,
                        int pending);
    static QString duration(double seconds);

private:
    QTextStream& out;
    bool terminal;
    int finishedAtStart;
    QElapsedTimer clock;
    QString last;
};

} // namespace Core::Study
