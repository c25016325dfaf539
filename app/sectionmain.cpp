// cellvane-section: draws a cross-section of a cell volume of a document as a PNG or SVG
// picture, without a window or a display.
#include "Core/Operations/Document/crosssectionexport.h"
#include "Model/Metrology/measurementquery.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

using Core::Operations::CrossSectionExport;

int main(int argc, char* argv[]) {
    // Text needs Qt's graphics system; the offscreen platform gives it without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString program = QStringLiteral("cellvane-section");
    QCoreApplication::setApplicationName(program);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Draws a cross-section of a cell volume of a Cellvane document: every cell of the\n"
        "plane in its material's colour, a legend of the materials, axis ticks and a scale\n"
        "bar in micrometres, and optionally dimension arrows, given or measured.\n"
        "\n"
        "--plane takes x=C or y=C (side views) or z=C (plan view), C in micrometres from the\n"
        "volume's lower corner; the plane cuts the layer of cells that holds C.\n"
        "--out FILE.svg writes SVG; any other name a raster image (PNG without a suffix).\n"
        "\n"
        "Exit status: 0 when the picture was written, 1 when the plane misses the volume, a\n"
        "--measure has no answer or no arrow on the cut layer (nothing is written then), or\n"
        "the picture could not be written, 2 for bad usage or a document that cannot be\n"
        "read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption volume = App::volumeOption(QStringLiteral("Draw"));
    const QCommandLineOption plane(QStringLiteral("plane"),
                                   QStringLiteral("The cutting plane, e.g. y=12.5."),
                                   QStringLiteral("AXIS=C"));
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Write the picture to FILE (.png or .svg)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption pixels(QStringLiteral("pixels-per-cell"),
                                    QStringLiteral("Draw each cell N pixels wide (default: "
                                                   "chosen for a picture of about 800 pixels)."),
                                    QStringLiteral("N"));
    const QCommandLineOption dimension(
        QStringLiteral("dimension"),
        QStringLiteral("Draw an arrow between two points in micrometres, labelled with TEXT or "
                       "its length; may be given several times. Arrows off the cut layer are "
                       "left out."),
        QStringLiteral("X1,Y1,Z1:X2,Y2,Z2[:TEXT]"));
    const QCommandLineOption measure(
        QStringLiteral("measure"),
        QStringLiteral("Take a measurement (as cellvane-measure names it, e.g. "
                       "width:empty@x,5,21) and draw its arrows where they lie on the cut "
                       "layer; may be given several times. A measurement without an answer, "
                       "or whose arrows miss the cut layer, fails the picture."),
        QStringLiteral("MEASUREMENT"));
    parser.addOptions({volume, plane, out, pixels, dimension, measure});
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"), QStringLiteral("The document."));

    const auto usageError = [&](const QString& text) {
        return App::usageError(err, program, text);
    };
    if (const auto stop = App::parseArguments(parser, help, err, program))
        return *stop;
    const QStringList documents = parser.positionalArguments();
    if (documents.size() != 1)
        return usageError(documents.isEmpty() ? QStringLiteral("no document given")
                                              : QStringLiteral("give one document only"));
    if (!parser.isSet(plane))
        return usageError(QStringLiteral("no plane given: --plane x=C, y=C or z=C"));
    if (!parser.isSet(out))
        return usageError(QStringLiteral("no picture given: --out FILE.png or FILE.svg"));

    CrossSectionExport::Request request;
    request.document = documents.first();
    request.picture = parser.value(out);
    QString problem;
    const auto parsedPlane = Model::Export::SectionPlane::parse(parser.value(plane), &problem);
    if (!parsedPlane)
        return usageError(problem);
    request.plane = *parsedPlane;
    for (const auto& [option, into] :
         {std::pair{&volume, &request.volume}, std::pair{&pixels, &request.pixelsPerCell}})
        if (const auto stop = App::readCount(parser, *option, *into, err, program))
            return *stop;
    for (const QString& text : parser.values(dimension)) {
        const auto parsed = CrossSectionExport::parseDimension(text, &problem);
        if (!parsed)
            return usageError(problem);
        request.dimensions.push_back(*parsed);
    }
    for (const QString& text : parser.values(measure)) {
        const auto parsed = Model::Metrology::MeasurementQuery::parse(text, problem);
        if (!parsed)
            return usageError(problem);
        request.measurements.push_back(*parsed);
    }
    return int(CrossSectionExport::run(request, err));
}
