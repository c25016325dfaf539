#pragma once

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <optional>

// The conventions every command-line program of ours keeps: exit 0 when done, 2 for bad usage
// (with the program's name and a pointer to --help on standard error), help on standard output.
namespace App {

constexpr int exitDone = 0;
constexpr int exitBadUsage = 2;

inline int usageError(QTextStream& err, const QString& program, const QString& text) {
    err << program << ": " << text << Qt::endl
        << "Try '" << program << " --help' for more information." << Qt::endl;
    return exitBadUsage;
}

// Parses the process's arguments; gives the exit code when the program should stop here (bad
// usage, or the help was printed), nothing when it should go on.
inline std::optional<int> parseArguments(QCommandLineParser& parser, const QCommandLineOption& help,
                                         QTextStream& err, const QString& program) {
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(err, program, parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return exitDone;
    }
    return std::nullopt;
}

} // namespace App
