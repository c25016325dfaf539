// cellvane-measure: takes measurements of a cell volume of a document, without a window or a
// display, and writes them as JSON to standard output.
#include "Core/Operations/Document/documentexport.h"
#include "Model/Metrology/measurementspec.h"
#include "Model/Metrology/metricsreport.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using Model::Metrology::MeasurementSpec;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("cellvane-measure");
    QCoreApplication::setApplicationName(program);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures a cell volume of a Cellvane document exactly on its cells and\n"
                       "writes the results as JSON to standard output. Measurements:\n") +
        MeasurementSpec::vocabulary() +
        QStringLiteral("\n\nExit status: 0 when every measurement has an answer, 1 when one has "
                       "none (the\nreason goes to standard error and into the JSON), 2 for bad "
                       "usage or a document\nthat cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption volume = App::volumeOption(QStringLiteral("Measure"));
    parser.addOption(volume);
    parser.addPositionalArgument(QStringLiteral("DOC.cvx"), QStringLiteral("The document."));
    parser.addPositionalArgument(QStringLiteral("MEASUREMENT"),
                                 QStringLiteral("One or more measurements."),
                                 QStringLiteral("MEASUREMENT..."));
    if (const auto stop = App::parseArguments(parser, help, err, program))
        return *stop;
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() < 2)
        return App::usageError(err, program,
                               arguments.isEmpty() ? QStringLiteral("no document given")
                                                   : QStringLiteral("no measurement given"));
    int volumeNumber = 0;
    if (const auto stop = App::readCount(parser, volume, volumeNumber, err, program))
        return *stop;
    std::vector<MeasurementSpec> specs;
    for (const QString& text : arguments.mid(1)) {
        QString problem;
        const auto spec = MeasurementSpec::parse(text, problem);
        if (!spec)
            return App::usageError(err, program, QStringLiteral("%1: %2").arg(text, problem));
        specs.push_back(*spec);
    }

    const QString document = arguments.first();
    const auto opened = Core::Operations::DocumentExport::open(document, volumeNumber, err);
    if (!opened)
        return App::exitBadUsage;

    QJsonArray results;
    int status = App::exitDone;
    for (const MeasurementSpec& spec : specs) {
        const auto result = Model::Metrology::measure(*opened->volume, spec);
        if (!result.hasAnswer()) {
            err << program << ": " << spec.text << ": no answer: " << result.reason << Qt::endl;
            status = 1;
        }
        results.append(Model::Metrology::MetricsReport::describe(spec.text, spec.text, result));
    }
    QJsonObject root;
    root.insert(QStringLiteral("document"), QDir::toNativeSeparators(document));
    root.insert(QStringLiteral("volume"), volumeNumber == 0 ? 1 : volumeNumber);
    root.insert(QStringLiteral("measurements"), results);
    QTextStream(stdout) << QJsonDocument(root).toJson(QJsonDocument::Indented);
    return status;
}
