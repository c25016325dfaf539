#pragma once

#include "Util/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThreadPool>
#include <QTextStream>

#include <cstring>
#include <optional>

// The conventions every program of ours keeps: exit 0 when done, 2 for bad usage (with the
// program's name and a pointer to --help on standard error), help and version on standard
// output.
namespace App {

constexpr int exitDone = 0;
constexpr int exitBadUsage = 2;

inline int usageError(QTextStream& err, const QString& program, const QString& text) {
    err << program << ": " << text << Qt::endl
        << "Try '" << program << " --help' for more information." << Qt::endl;
    return exitBadUsage;
}

// --volume N of the programs that read a document: which of its cell volumes, from 1. `verb`
// starts the help line ("Measure", "Use").
inline QCommandLineOption volumeOption(const QString& verb) {
    return QCommandLineOption(QStringLiteral("volume"),
                              verb + QStringLiteral(" the N-th cell volume of the document (from "
                                                    "1; needed when it holds several)."),
                              QStringLiteral("N"));
}

// A count of 1 or more given to `option`, in `into`; the usage error when it is anything else.
// Leaves `into` as it was when the option is not given.
inline std::optional<int> readCount(const QCommandLineParser& parser,
                                    const QCommandLineOption& option, int& into, QTextStream& err,
                                    const QString& program) {
    if (!parser.isSet(option))
        return std::nullopt;
    bool number = false;
    const int value = parser.value(option).toInt(&number);
    if (!number || value < 1)
        return usageError(err, program,
                          QStringLiteral("--%1 takes a number from 1, not '%2'")
                              .arg(option.names().constLast(), parser.value(option)));
    into = value;
    return std::nullopt;
}

// Holds a program given --threads N to N processors: the engines' pool, and the software
// renderer of the "Save Image" steps, which otherwise starts a thread per processor and turns
// two study variants side by side into four busy threads on two cores. A renderer thread count
// the user set in the environment stays.
inline void limitThreads(int count) {
    QThreadPool::globalInstance()->setMaxThreadCount(count);
    if (qEnvironmentVariableIsEmpty("LP_NUM_THREADS"))
        qputenv("LP_NUM_THREADS", QByteArray::number(count));
}

// Parses the process's arguments; gives the exit code when the program should stop here (bad
// usage, or the help or the version was printed), nothing when it should go on. --version is
// added here, so that every program answers it the same way: its name and the build's version
// on one line, as manual-page generators and scripts read it.
inline std::optional<int> parseArguments(QCommandLineParser& parser, const QCommandLineOption& help,
                                         QTextStream& err, const QString& program) {
    const QStringList arguments = QCoreApplication::arguments();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments))
        return usageError(err, program, parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return exitDone;
    }
    // Qt's parser offers --help-all beside --help; only its own processing prints Qt's options
    // too, and it exits after printing them.
    if (parser.isSet(QStringLiteral("help-all")))
        parser.process(arguments);
    if (parser.isSet(version)) {
        QTextStream(stdout) << program << ' ' << Util::version() << Qt::endl;
        return exitDone;
    }
    return std::nullopt;
}

// Whether the command line asks only for the help or the version. The window's program answers
// those before it connects to a display, so that they work over a plain terminal too.
inline bool asksOnlyForText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace App
