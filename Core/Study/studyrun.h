#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

namespace Core::Study {

// The commands of a study that work on its folder: run, status and cancel. Each returns the
// program's exit status: 0 when every variant is done, 1 when one failed (or, for status,
// is not finished), 2 for bad usage or input that cannot be read.
class StudyRun {
public:
    struct Options {
        QString list;
        QString table;
        QString folder;
        QString input;
        int volume = 1;
        QString engine = QStringLiteral("local");
        // 0: from the machine's cores and `threads`.
        int jobs = 0;
        int threads = 0;
        bool keepDocuments = false;
        bool force = false;
        bool wait = true;
        QStringList engineArguments;
        // This program, as the tasks start it.
        QString program;
    };

    static int run(const Options& options, QTextStream& err);
    static int status(const QString& folder, QTextStream& out, QTextStream& err);
    static int cancel(const QString& folder, QTextStream& err);

    // Jobs and threads when not given: as many jobs as the cores take at `threads` each (one
    // thread each when neither is given).
    static void defaultJobs(int cores, int& jobs, int& threads);
};

} // namespace Core::Study
