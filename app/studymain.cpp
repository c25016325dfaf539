// cellvane-study: plans, runs and gathers process-window studies of a process list.
#include "Core/ProcessList/processlistarchiver.h"
#include "Core/ProcessList/processlistrun.h"
#include "Core/Study/studypage.h"
#include "Core/Study/studyplan.h"
#include "Core/Study/studyrun.h"
#include "Core/Study/varianttask.h"
#include "UI/Study/studyplot.h"

#include "app/commandline.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>

using namespace Core::Study;

namespace {

const QString program = QStringLiteral("cellvane-study");

// Every value of every varied parameter must be one the list's step takes, as --set takes it;
// a plan that would fail variants for a typing error is refused before it is written.
int plan(const QString& listFile, const QStringList& varied, int sample, bool sampled, quint64 seed,
         QTextStream& err) {
    QList<Ui::ProcessData> list;
    Ui::ProcessListArchiver archiver;
    if (!archiver.loadProcessList(listFile, list)) {
        err << program << ": " << archiver.errorString() << Qt::endl;
        return App::exitBadUsage;
    }
    std::vector<VariedParameter> parameters;
    std::set<QString> names;
    for (const QString& text : varied) {
        VariedParameter parameter;
        QString problem;
        if (!VariedParameter::parse(text, parameter, problem))
            return App::usageError(err, program, problem);
        if (!names.insert(parameter.name).second)
            return App::usageError(err, program,
                                   QStringLiteral("%1 is varied twice").arg(parameter.name));
        if (parameter.isContinuous() && !sampled)
            return App::usageError(err, program,
                                   QStringLiteral("--vary %1: a full grid needs a step "
                                                  "(FROM:TO:STEP) or a list of values")
                                       .arg(text));
        parameters.push_back(parameter);
    }
    // Counted before anything is made or checked: a product of a few long ranges does not fit
    // in memory.
    constexpr std::uint64_t mostVariants = 1000000;
    if (sampled && std::uint64_t(sample) > mostVariants)
        return App::usageError(
            err, program,
            QStringLiteral("--sample %1 asks for more than a million variants").arg(sample));
    if (!sampled && StudyPlan::gridSize(parameters, mostVariants) > mostVariants) {
        QStringList factors;
        long double count = 1;
        for (const VariedParameter& parameter : parameters) {
            count *= std::max<long double>(1, parameter.levels.size());
            factors << QString::number(std::max(1, int(parameter.levels.size())));
        }
        const QString counted = count < 1e18L ? QString::number(qulonglong(count))
                                              : QString::number(double(count), 'g', 6);
        return App::usageError(err, program,
                               QStringLiteral("the grid has %1 variants (%2); at most a million "
                                              "can be planned")
                                   .arg(counted, factors.join(QStringLiteral(" x "))));
    }
    for (const VariedParameter& parameter : parameters) {
        QStringList values = parameter.levels;
        if (parameter.isContinuous())
            values << StudyPlan::number(parameter.low) << StudyPlan::number(parameter.high);
        for (const QString& value : values) {
            QList<Ui::ProcessData> copy = list;
            QString problem;
            if (!Ui::ProcessListRun::applySetting(copy, parameter.name + QLatin1Char('=') + value,
                                                  problem)) {
                err << program << ": " << listFile << ": "
                    << problem.replace(QStringLiteral("--set"), QStringLiteral("--vary"))
                    << Qt::endl;
                return App::exitBadUsage;
            }
        }
    }
    const VariantTable table =
        sampled ? StudyPlan::latinHypercube(parameters, sample, seed) : StudyPlan::grid(parameters);
    QTextStream(stdout) << QString::fromUtf8(table.csv()) << Qt::flush;
    return App::exitDone;
}

// Results, plots and the page of what the study's variants have finished so far.
int gather(const QString& folderName, QTextStream& err) {
    const StudyFolder folder(folderName);
    QString problem;
    const auto record = StudyRecord::read(folder.recordFile(), problem);
    if (!record) {
        err << program << ": " << problem << Qt::endl;
        return App::exitBadUsage;
    }
    const StudyResults results = StudyResults::gather(folder, *record);
    const QString csv = folder.path() + QStringLiteral("/results.csv");
    if (!writeWhole(csv, results.csv(), problem)) {
        err << program << ": " << problem << Qt::endl;
        return 1;
    }
    err << "Wrote " << QDir::toNativeSeparators(csv) << Qt::endl;
    const auto plots = results.plots();
    if (!plots.empty() && !QDir().mkpath(folder.path() + QStringLiteral("/plots"))) {
        err << program << ": cannot make the folder " << folder.path() << "/plots" << Qt::endl;
        return 1;
    }
    QStringList plotFiles;
    for (const auto& plot : plots) {
        // Two metrics whose names differ only in punctuation still get a file each.
        QString name = QStringLiteral("plots/") + plot.fileName;
        for (int n = 2; plotFiles.contains(name); ++n)
            name = QStringLiteral("plots/%1-%2").arg(plot.fileName).arg(n);
        if (!Ui::StudyPlot::write(plot, folder.path() + QLatin1Char('/') + name, problem)) {
            err << program << ": " << problem << Qt::endl;
            return 1;
        }
        plotFiles << name;
    }
    // Plots of an earlier gather that this one has not drawn again (a metric that is no longer
    // measured) would pass for results of the study as it is now.
    const QDir plotFolder(folder.path() + QStringLiteral("/plots"));
    for (const QString& file :
         plotFolder.entryList({QStringLiteral("*.png"), QStringLiteral("*.svg")}, QDir::Files))
        if (!plotFiles.contains(QStringLiteral("plots/") + QFileInfo(file).completeBaseName()))
            QFile::remove(plotFolder.filePath(file));
    err << "Wrote " << plotFiles.size() << (plotFiles.size() == 1 ? " plot" : " plots")
        << " (PNG and SVG) to "
        << QDir::toNativeSeparators(folder.path() + QStringLiteral("/plots")) << Qt::endl;
    const QString page = folder.path() + QStringLiteral("/index.html");
    const QString title =
        QStringLiteral("Study of %1").arg(QFileInfo(record->listSource).fileName());
    if (!writeWhole(page, StudyPage::html(title, results, plots, plotFiles), problem)) {
        err << program << ": " << problem << Qt::endl;
        return 1;
    }
    err << "Wrote " << QDir::toNativeSeparators(page) << Qt::endl;
    return App::exitDone;
}

// Only the commands that draw pay for Qt's graphics system: a variant's pictures need it, the
// plots need widgets. Every other command, above all the run that starts the variants one after
// another, starts in a third of the time without it.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char* argv[]) {
    const auto names = [&](const char* command) {
        return std::any_of(argv + 1, argv + argc, [command](const char* argument) {
            return !std::strcmp(argument, command);
        });
    };
    // Pictures of cross-sections and the plots draw text; the offscreen platform gives it
    // without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (names("gather"))
        return std::make_unique<QApplication>(argc, argv);
    if (names("task"))
        return std::make_unique<QGuiApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(program);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs a process list many times with other values of its parameters (a study of the\n"
        "process window), on this machine or on a cluster, and gathers the results.\n"
        "\n"
        "cellvane-study plan LIST.plst --vary STEP.NAME=VALUES ... [--sample N --seed S]\n"
        "  writes a table of variants to standard output: every combination of the values,\n"
        "  or with --sample a Latin hypercube of N variants over the ranges. VALUES is\n"
        "  FROM:TO:STEP (both ends included), A,B,C, or with --sample also FROM:TO.\n"
        "\n"
        "cellvane-study run LIST.plst VARIANTS.csv --out DIR [--input DOC.cvx] [--jobs N]\n"
        "  runs every variant of the table: the list with the variant's values, as\n"
        "  cellvane-run --set gives them, in a process of its own. The table is CSV with the\n"
        "  header id,STEP.NAME,... and one row per variant; an empty value keeps the list's.\n"
        "  Each variant writes DIR/variants/ID/: metrics.json (the \"Measure\" steps'\n"
        "  results, done or failed with the reason, seconds, peak memory), log.txt, the\n"
        "  pictures of its \"Save Image\" and \"Save Cross-Section\" steps and, with\n"
        "  --keep-documents, document.cvx. metrics.json is written last, whole: a variant\n"
        "  is finished when it is there. DIR/study.json records the list, the table, their\n"
        "  hashes, the engine and the times. Run again on the same DIR, it runs only the\n"
        "  variants that are missing or failed; a DIR of another list, table or input\n"
        "  document is refused unless --force. One progress line shows done, failed,\n"
        "  running and the time left.\n"
        "\n"
        "cellvane-study task DIR ID\n"
        "  runs the one variant ID of the study in DIR; the engines start this.\n"
        "cellvane-study status DIR\n"
        "  shows how far the study is, and each variant's state.\n"
        "cellvane-study cancel DIR\n"
        "  cancels the variants of the study that run or wait on a cluster.\n"
        "cellvane-study gather DIR\n"
        "  writes DIR/results.csv (one row per variant: its values, every metric, status,\n"
        "  seconds), a plot of every metric against every varied parameter with one line per\n"
        "  value of the next parameter (DIR/plots/*.png and *.svg) and DIR/index.html with\n"
        "  the plots, the table and every variant's pictures.\n"
        "\n"
        "Exit status: 0 when done (for run and status: every variant done); 1 when a\n"
        "variant failed or is not finished; 2 for bad usage or input that cannot be read."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption vary(QStringLiteral("vary"),
                                  QStringLiteral("plan: vary parameter NAME of step STEP over "
                                                 "VALUES; give it once per parameter."),
                                  QStringLiteral("STEP.NAME=VALUES"));
    const QCommandLineOption sample(QStringLiteral("sample"),
                                    QStringLiteral("plan: draw N variants of a Latin hypercube "
                                                   "instead of the full grid."),
                                    QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("plan: the seed of --sample (default 1); the "
                                                 "same seed gives the same table."),
                                  QStringLiteral("S"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("run: the study's folder."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption input(QStringLiteral("input"),
                                   QStringLiteral("run: start every variant from a cell volume "
                                                  "of DOC.cvx."),
                                   QStringLiteral("DOC.cvx"));
    const QCommandLineOption volume(QStringLiteral("volume"),
                                    QStringLiteral("run: the N-th cell volume of --input (from "
                                                   "1; default 1)."),
                                    QStringLiteral("N"));
    const QCommandLineOption engine(QStringLiteral("engine"),
                                    QStringLiteral("run: where the variants run: local (this "
                                                   "machine, the default) or slurm."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption jobs(QStringLiteral("jobs"),
                                  QStringLiteral("run: at most N variants at once (default: the "
                                                 "processors divided by --threads; on slurm, "
                                                 "as many as the cluster gives)."),
                                  QStringLiteral("N"));
    const QCommandLineOption threads(QStringLiteral("threads"),
                                     QStringLiteral("run, task: T threads for each variant "
                                                    "(default: the processors divided by "
                                                    "--jobs, or 1)."),
                                     QStringLiteral("T"));
    const QCommandLineOption keep(QStringLiteral("keep-documents"),
                                  QStringLiteral("run: keep each variant's resulting document."));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("run: use DIR even when it holds a study of "
                                                  "another list, table or input; variants whose "
                                                  "values changed run again."));
    const QCommandLineOption slurmArg(QStringLiteral("slurm-arg"),
                                      QStringLiteral("run: pass ARG to sbatch (slurm engine); "
                                                     "give it once per argument."),
                                      QStringLiteral("ARG"));
    const QCommandLineOption noWait(QStringLiteral("no-wait"),
                                    QStringLiteral("run: return once the variants are submitted "
                                                   "(slurm engine)."));
    parser.addOptions({vary, sample, seed, out, input, volume, engine, jobs, threads, keep, force,
                       slurmArg, noWait});
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("plan, run, task, status, cancel or gather."));
    parser.addPositionalArgument(QStringLiteral("ARGUMENTS"),
                                 QStringLiteral("The command's files and folders."),
                                 QStringLiteral("[ARGUMENTS...]"));

    if (const auto stop = App::parseArguments(parser, help, err, program))
        return *stop;
    const auto usageError = [&](const QString& text) {
        return App::usageError(err, program, text);
    };
    QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString command = arguments.takeFirst();

    // Options of one command given to another are mistakes, not wishes to ignore.
    const std::map<QString, std::vector<const QCommandLineOption*>> allowed{
        {QStringLiteral("plan"), {&vary, &sample, &seed}},
        {QStringLiteral("run"),
         {&out, &input, &volume, &engine, &jobs, &threads, &keep, &force, &slurmArg, &noWait}},
        {QStringLiteral("task"), {&threads}},
        {QStringLiteral("status"), {}},
        {QStringLiteral("cancel"), {}},
        {QStringLiteral("gather"), {}},
    };
    const auto found = allowed.find(command);
    if (found == allowed.end())
        return usageError(QStringLiteral("there is no command \"%1\"").arg(command));
    for (const QCommandLineOption* option : {&vary, &sample, &seed, &out, &input, &volume, &engine,
                                             &jobs, &threads, &keep, &force, &slurmArg, &noWait})
        if (parser.isSet(*option) &&
            std::find(found->second.begin(), found->second.end(), option) == found->second.end())
            return usageError(QStringLiteral("--%1 does not apply to %2")
                                  .arg(option->names().constLast(), command));
    const auto expect = [&](int count, const QString& what) -> std::optional<int> {
        if (arguments.size() == count)
            return std::nullopt;
        return usageError(QStringLiteral("%1 takes %2").arg(command, what));
    };

    if (command == QStringLiteral("plan")) {
        if (const auto stop = expect(1, QStringLiteral("one process list")))
            return *stop;
        if (!parser.isSet(vary))
            return usageError(QStringLiteral("plan needs at least one --vary"));
        int count = 0;
        if (const auto stop = App::readCount(parser, sample, count, err, program))
            return *stop;
        bool number = true;
        const quint64 seedValue = parser.isSet(seed) ? parser.value(seed).toULongLong(&number) : 1;
        if (!number)
            return usageError(
                QStringLiteral("--seed takes a whole number, not '%1'").arg(parser.value(seed)));
        if (parser.isSet(seed) && !parser.isSet(sample))
            return usageError(QStringLiteral("--seed applies to --sample only"));
        return plan(arguments.first(), parser.values(vary), count, parser.isSet(sample), seedValue,
                    err);
    }

    if (command == QStringLiteral("run")) {
        if (const auto stop = expect(2, QStringLiteral("a process list and a table of variants")))
            return *stop;
        if (!parser.isSet(out))
            return usageError(QStringLiteral("run needs --out DIR"));
        StudyRun::Options options;
        options.list = arguments[0];
        options.table = arguments[1];
        options.folder = parser.value(out);
        options.input = parser.value(input);
        if (parser.isSet(volume) && options.input.isEmpty())
            return usageError(QStringLiteral("--volume applies to --input only"));
        if (parser.isSet(engine))
            options.engine = parser.value(engine);
        for (const auto& [option, into] :
             {std::pair{&volume, &options.volume}, std::pair{&jobs, &options.jobs},
              std::pair{&threads, &options.threads}})
            if (const auto stop = App::readCount(parser, *option, *into, err, program))
                return *stop;
        options.keepDocuments = parser.isSet(keep);
        options.force = parser.isSet(force);
        options.wait = !parser.isSet(noWait);
        options.engineArguments = parser.values(slurmArg);
        options.program = QCoreApplication::applicationFilePath();
        return StudyRun::run(options, err);
    }

    if (command == QStringLiteral("task")) {
        if (const auto stop = expect(2, QStringLiteral("a study's folder and a variant's id")))
            return *stop;
        // On a cluster node, the processors the scheduler gave the task.
        int threadCount = qEnvironmentVariableIntValue("SLURM_CPUS_PER_TASK");
        if (const auto stop = App::readCount(parser, threads, threadCount, err, program))
            return *stop;
        App::limitThreads(std::max(1, threadCount));
        return int(VariantTask::run(arguments[0], arguments[1], err));
    }

    if (const auto stop = expect(1, QStringLiteral("a study's folder")))
        return *stop;
    if (command == QStringLiteral("status")) {
        QTextStream output(stdout);
        return StudyRun::status(arguments.first(), output, err);
    }
    if (command == QStringLiteral("gather"))
        return gather(arguments.first(), err);
    return StudyRun::cancel(arguments.first(), err);
}
