// cellvane-extract: writes the cantilever netlist of a cell volume of a document, without a
// window or a display.
#include "Core/Operations/Document/documentnetlist.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using Core::Operations::DocumentNetlist;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cellvane-extract"));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds the free-standing beams of a cell volume of a Cellvane document and writes\n"
        "their lumped model as a circuit netlist: per beam n a capacitor cn holding its\n"
        "effective mass and an inductor ln holding its compliance, from node n to ground.\n"
        "Densities and Young moduli are those of the material registry.\n"
        "\n"
        "With --report FILE.json it also writes (or, without OUT.cir, only writes) the\n"
        "mechanics of every beam: size, gap, stiffness, resonance, the stiction peel number\n"
        "and detachment length, the curl from residual stress, the pull-in voltage over a\n"
        "conductor, and the wafer's bow; the same as a table on standard output.\n"
        "\n"
        "Exit status: 0 when the files were written, 1 when the volume holds no beam or a\n"
        "file could not be written, 2 for bad usage or a document that cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption volume = App::volumeOption(QStringLiteral("Use"));
    parser.addOption(volume);
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Write the beams' mechanics as JSON to FILE."),
                                    QStringLiteral("FILE.json"));
    parser.addOption(report);
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"), QStringLiteral("The document."));
    parser.addPositionalArgument(QStringLiteral("OUT.cir"),
                                 QStringLiteral("The netlist (optional with --report)."),
                                 QStringLiteral("[OUT.cir]"));

    const auto usageError = [&](const QString& text) {
        return App::usageError(err, QStringLiteral("cellvane-extract"), text);
    };
    if (const auto stop =
            App::parseArguments(parser, help, err, QStringLiteral("cellvane-extract")))
        return *stop;
    const QStringList files = parser.positionalArguments();
    DocumentNetlist::Request request;
    request.report = parser.value(report);
    if (parser.isSet(report) && request.report.isEmpty())
        return usageError(QStringLiteral("--report needs a file name"));
    if (files.size() != 2 && !(parser.isSet(report) && files.size() == 1))
        return usageError(QStringLiteral("give a document and a netlist file"));

    request.document = files[0];
    request.netlist = files.value(1);
    if (const auto stop =
            App::readCount(parser, volume, request.volume, err, QStringLiteral("cellvane-extract")))
        return *stop;
    QTextStream out(stdout);
    return int(DocumentNetlist::run(request, err, &out));
}
