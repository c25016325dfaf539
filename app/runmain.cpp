// cellvane-run: runs a process list on a cell volume without a window or a display.
#include "Core/ProcessList/processlistrun.h"

#include "app/commandline.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QTextStream>

using Ui::ProcessListRun;

int main(int argc, char* argv[]) {
    // "Save Cross-Section" steps draw text, which needs Qt's graphics system; the offscreen
    // platform gives it without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cellvane-run"));
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs the steps of a Cellvane process list (*.plst, as the Batch Run dialog saves it)\n"
        "in order on one cell volume: the N-th cell volume of --input, or the volume the\n"
        "list's \"Create Substrate\" step creates. Each step prints one line to standard error\n"
        "with its position, kind, shown parameters and time. \"Save Image\" steps draw the\n"
        "document as the 3D view would, without a display. Relative file names in the list\n"
        "are taken from the current folder.\n"
        "\n"
        "--set 3.Thickness=7.5 replaces parameter Thickness of step 3 before the run; give it\n"
        "once per value. A parameter sweep is a shell loop over --set and --output.\n"
        "--set 3.TopLayout=chip.gds:5/0 (or BottomLayout) makes that side's mask of the\n"
        "photolithography step 3 from layer 5, datatype 0 of the layout chip.gds, on the\n"
        "columns of the volume it runs on; the step's placement and polarity are kept.\n"
        "\n"
        "\"Measure\" steps print their results to standard error and, with --metrics, to a\n"
        "file. A measurement without an answer (a probe outside the volume, a material that\n"
        "is not there) counts as a step that could not run.\n"
        "\n"
        "Every file it writes (the document, exports, images, measurements) is written to a\n"
        "temporary file beside it and renamed into place once complete: a run that is killed\n"
        "leaves either the previous file or the complete new one, never a part of one.\n"
        "\n"
        "Exit status: 0 when every step ran and everything asked for was written; 1 when a\n"
        "step could not run (no cell volume, a bad record) or an output could not be written,\n"
        "and then no document or export is written; 2 for bad usage or a list or document that\n"
        "cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption input(QStringLiteral("input"),
                                   QStringLiteral("Start from a cell volume of DOC.cvx."),
                                   QStringLiteral("DOC.cvx"));
    const QCommandLineOption volume(QStringLiteral("volume"),
                                    QStringLiteral("Start from the N-th cell volume of the input "
                                                   "document (from 1; default 1)."),
                                    QStringLiteral("N"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write the resulting document to OUT.cvx."),
                                    QStringLiteral("OUT.cvx"));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("Run the simulations on N threads (default: "
                                                    "one per processor)."),
                                     QStringLiteral("N"));
    const QCommandLineOption set(QStringLiteral("set"),
                                 QStringLiteral("Replace parameter NAME of step STEP (from 1)."),
                                 QStringLiteral("STEP.NAME=VALUE"));
    const QCommandLineOption mesh(QStringLiteral("mesh"),
                                  QStringLiteral("Export the resulting cell volume's material "
                                                 "surfaces to DIR_OR_FILE, as cellvane-export "
                                                 "--mesh does."),
                                  QStringLiteral("DIR_OR_FILE"));
    const QCommandLineOption vti(QStringLiteral("vti"),
                                 QStringLiteral("Export the resulting cells as VTK image data to "
                                                "FILE."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption netlist(QStringLiteral("netlist"),
                                     QStringLiteral("Write the cantilever netlist of the resulting "
                                                    "cell volume to OUT.cir, as cellvane-extract "
                                                    "does; a volume without beams fails."),
                                     QStringLiteral("OUT.cir"));
    const QCommandLineOption metrics(QStringLiteral("metrics"),
                                     QStringLiteral("Write the results of every \"Measure\" step "
                                                    "(step, name, value, unit) to FILE: JSON, or "
                                                    "CSV when FILE ends in .csv. Written even "
                                                    "when a step failed; a measurement without "
                                                    "an answer has no value and its reason."),
                                     QStringLiteral("FILE"));
    parser.addOptions({input, volume, output, threads, set, mesh, vti, netlist, metrics});
    parser.addPositionalArgument(QStringLiteral("LIST.plst"), QStringLiteral("The process list."));

    const auto usageError = [&](const QString& text) {
        return App::usageError(err, QStringLiteral("cellvane-run"), text);
    };
    if (const auto stop = App::parseArguments(parser, help, err, QStringLiteral("cellvane-run")))
        return *stop;
    const QStringList lists = parser.positionalArguments();
    if (lists.size() != 1)
        return usageError(lists.isEmpty() ? QStringLiteral("no process list given")
                                          : QStringLiteral("give one process list only"));
    ProcessListRun::Options options;
    options.list = lists.first();
    options.input = parser.value(input);
    options.output = parser.value(output);
    options.settings = parser.values(set);
    options.mesh = parser.value(mesh);
    options.vti = parser.value(vti);
    options.netlist = parser.value(netlist);
    options.metrics = parser.value(metrics);
    if (parser.isSet(volume) && options.input.isEmpty())
        return usageError(QStringLiteral("--volume applies to --input only"));
    int threadCount = 0;
    for (const auto& [option, into] :
         {std::pair{&volume, &options.volume}, std::pair{&threads, &threadCount}})
        if (const auto stop =
                App::readCount(parser, *option, *into, err, QStringLiteral("cellvane-run")))
            return *stop;
    if (threadCount > 0)
        App::limitThreads(threadCount);
    return int(ProcessListRun::run(options, err));
}
