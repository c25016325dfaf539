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
        "Exit status: 0 when the netlist was written, 1 when the volume holds no beam or the\n"
        "netlist could not be written, 2 for bad usage or a document that cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption volume = App::volumeOption(QStringLiteral("Use"));
    parser.addOption(volume);
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"), QStringLiteral("The document."));
    parser.addPositionalArgument(QStringLiteral("OUT.cir"), QStringLiteral("The netlist."));

    const auto usageError = [&](const QString& text) {
        return App::usageError(err, QStringLiteral("cellvane-extract"), text);
    };
    if (const auto stop =
            App::parseArguments(parser, help, err, QStringLiteral("cellvane-extract")))
        return *stop;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 2)
        return usageError(QStringLiteral("give a document and a netlist file"));

    DocumentNetlist::Request request;
    request.document = files[0];
    request.netlist = files[1];
    if (const auto stop =
            App::readCount(parser, volume, request.volume, err, QStringLiteral("cellvane-extract")))
        return *stop;
    return int(DocumentNetlist::run(request, err));
}
