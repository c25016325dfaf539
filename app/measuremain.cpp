// cellvane-measure: takes measurements of a cell volume of a document, without a window or a
// display, and writes them as JSON to standard output.
#include "Core/Operations/Document/documentexport.h"
#include "Model/Metrology/measurementquery.h"
#include "Model/Metrology/metricsreport.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using Model::Metrology::MeasurementQuery;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("cellvane-measure");
    QCoreApplication::setApplicationName(program);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Measures a cell volume of a Cellvane document exactly on its cells and\n"
                       "writes the results as JSON to standard output. Measurements:\n") +
        MeasurementQuery::vocabulary() +
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
    std::vector<MeasurementQuery> queries;
    for (const QString& text : arguments.mid(1)) {
        QString problem;
        const auto query = MeasurementQuery::parse(text, problem);
        if (!query)
            return App::usageError(err, program, QStringLiteral("%1: %2").arg(text, problem));
        queries.push_back(*query);
    }

    const QString document = arguments.first();
    const auto opened = Core::Operations::DocumentExport::open(document, volumeNumber, err);
    if (!opened)
        return App::exitBadUsage;

    QJsonArray results;
    int status = App::exitDone;
    for (const MeasurementQuery& query : queries) {
        const auto result = Model::Metrology::measure(*opened->volume, query);
        if (!result.hasAnswer()) {
            err << program << ": " << query.text << ": no answer: " << result.reason << Qt::endl;
            status = 1;
        }
        results.append(Model::Metrology::MetricsReport::describe(query.text, query.text, result));
    }
    QJsonObject root;
    root.insert(QStringLiteral("document"), QDir::toNativeSeparators(document));
    root.insert(QStringLiteral("volume"), volumeNumber == 0 ? 1 : volumeNumber);
    root.insert(QStringLiteral("measurements"), results);
    QTextStream(stdout) << QJsonDocument(root).toJson(QJsonDocument::Indented);
    return status;
}
