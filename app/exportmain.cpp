// cellvane-export: writes a cell volume of a document as meshes or VTK image data, without a
// window or a display.
#include "Core/Operations/Document/documentexport.h"
#include "Model/Transport/fluxengine.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

using Core::Operations::DocumentExport;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cellvane-export"));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports a cell volume of a Cellvane document for meshing, CAD and visualisation\n"
        "tools. Each mesh surface is the closed boundary of the cells of one material.\n"
        "\n"
        "--mesh takes\n"
        "  NAME.obj  one OBJ file with a group per material, and NAME.mtl with colours;\n"
        "  NAME.stl  one binary STL file per material beside it, NAME_<material>.stl;\n"
        "  a folder  one binary STL file per material in it, <material>.stl.\n"
        "\n"
        "Exit status: 0 when everything asked for was written, 1 when an export failed,\n"
        "2 for bad usage or a document that cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption volume = App::volumeOption(QStringLiteral("Export"));
    const QCommandLineOption mesh(QStringLiteral("mesh"),
                                  QStringLiteral("Write the material surfaces to DIR_OR_FILE."),
                                  QStringLiteral("DIR_OR_FILE"));
    const QCommandLineOption vti(QStringLiteral("vti"),
                                 QStringLiteral("Write the cells as VTK image data to FILE."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption compress(QStringLiteral("compress"),
                                      QStringLiteral("Compress the cells of the .vti file with "
                                                     "zlib."));
    const QCommandLineOption flux(
        QStringLiteral("flux"),
        QStringLiteral("Add the particle flux on the surface to the .vti file as the cell array "
                       "\"flux\": a source of cosine power EXPONENT (1 Lambertian, 100 and more "
                       "ions), every material sticking with probability STICKING."),
        QStringLiteral("EXPONENT,STICKING"));
    parser.addOptions({volume, mesh, vti, compress, flux});
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"), QStringLiteral("The document."));

    const auto usageError = [&](const QString& text) {
        return App::usageError(err, QStringLiteral("cellvane-export"), text);
    };
    if (const auto stop = App::parseArguments(parser, help, err, QStringLiteral("cellvane-export")))
        return *stop;
    const QStringList documents = parser.positionalArguments();
    if (documents.size() != 1)
        return usageError(documents.isEmpty() ? QStringLiteral("no document given")
                                              : QStringLiteral("give one document only"));

    DocumentExport::Request request;
    request.document = documents.first();
    request.mesh = parser.value(mesh);
    request.vti = parser.value(vti);
    request.compressVolume = parser.isSet(compress);
    if (request.mesh.isEmpty() && request.vti.isEmpty())
        return usageError(QStringLiteral("nothing to export: give --mesh, --vti or both"));
    if (request.compressVolume && request.vti.isEmpty())
        return usageError(QStringLiteral("--compress applies to --vti only"));
    if (parser.isSet(flux)) {
        if (request.vti.isEmpty())
            return usageError(QStringLiteral("--flux applies to --vti only"));
        const QStringList parts = parser.value(flux).split(QLatin1Char(','));
        bool exponentOk = false, stickingOk = false;
        Model::Transport::FluxSettings settings;
        if (parts.size() == 2) {
            settings.sourceExponent = parts[0].trimmed().toDouble(&exponentOk);
            settings.sticking = parts[1].trimmed().toDouble(&stickingOk);
        }
        if (!exponentOk || !stickingOk)
            return usageError(QStringLiteral("--flux takes EXPONENT,STICKING, not \"%1\"")
                                  .arg(parser.value(flux)));
        if (const QString refusal = settings.refusal(); !refusal.isEmpty())
            return usageError(QStringLiteral("--flux: ") + refusal);
        request.fluxExponent = settings.sourceExponent;
        request.fluxSticking = settings.sticking;
    }
    if (const auto stop =
            App::readCount(parser, volume, request.volume, err, QStringLiteral("cellvane-export")))
        return *stop;
    return int(DocumentExport::run(request, err));
}
