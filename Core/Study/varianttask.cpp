#include "Core/Study/varianttask.h"

#include "Core/ProcessList/processlistarchiver.h"
#include "Core/ProcessList/processlistrun.h"
#include "Core/Study/studyrecord.h"
#include "Core/Study/variantstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTextStream>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <utime.h>

namespace Core::Study {

namespace {

qint64 peakMemoryBytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return qint64(usage.ru_maxrss) * 1024;
}

// The picture steps write into the variant's folder: their file names are replaced, as --set
// would replace them, by the same names there.
QStringList pictureSettings(const QString& listFile, const QStringList& settings,
                            const QString& folder, QStringList& pictures) {
    QList<Ui::ProcessData> list;
    Ui::ProcessListArchiver archiver;
    if (!archiver.loadProcessList(listFile, list))
        return {};
    QString ignored;
    for (const QString& setting : settings)
        Ui::ProcessListRun::applySetting(list, setting, ignored);
    QStringList result;
    for (int step = 0; step < list.size(); ++step) {
        const int type = list[step].getProcessType();
        if (type != Ui::ProcessData::SaveImage && type != Ui::ProcessData::SaveCrossSection)
            continue;
        const QString name = QFileInfo(list[step]
                                           .getParameters()
                                           .value(Core::Operations::RecordParameters::fileName)
                                           .toString())
                                 .fileName();
        if (name.isEmpty())
            continue;
        result << QStringLiteral("%1.%2=%3/%4")
                      .arg(step + 1)
                      .arg(Core::Operations::RecordParameters::fileName, folder, name);
        pictures << name;
    }
    return result;
}

// Touches the running file while the task runs: a file that stopped being touched was left by
// a task that died without removing it, perhaps with its machine, where its process cannot be
// asked about.
class RunningHeartbeat {
public:
    explicit RunningHeartbeat(const QString& fileName)
        : path(QFile::encodeName(fileName).toStdString()), beating([this] { beat(); }) {}
    ~RunningHeartbeat() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            over = true;
        }
        wake.notify_one();
        beating.join();
    }
    RunningHeartbeat(const RunningHeartbeat&) = delete;
    RunningHeartbeat& operator=(const RunningHeartbeat&) = delete;

private:
    void beat() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, std::chrono::seconds(runningHeartbeatSeconds),
                              [this] { return over; }))
            ::utime(path.c_str(), nullptr);
    }

    std::string path;
    std::mutex mutex;
    std::condition_variable wake;
    bool over = false;
    std::thread beating;
};

// The runner's own complaints ("cellvane-run: ...") are the reasons a variant failed.
QString reasonFrom(const QString& log) {
    QStringList reasons;
    for (const QString& line : log.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("cellvane-run: ")))
            reasons << line.mid(int(qstrlen("cellvane-run: ")));
    return reasons.join(QStringLiteral("; "));
}

} // namespace

namespace {

QJsonObject valuesOf(const StudyRecord& record, const VariantTable::Variant& variant) {
    QJsonObject values;
    for (int i = 0; i < record.table.parameters.size(); ++i)
        values.insert(record.table.parameters[i], variant.values[i]);
    return values;
}

} // namespace

bool VariantTask::recordFailure(const StudyFolder& folder, const StudyRecord& record,
                                const QString& id, const QString& reason) {
    const VariantTable::Variant* variant = record.table.find(id);
    if (!variant || !QDir().mkpath(folder.variantFolder(id)))
        return false;
    const QJsonObject result{{QStringLiteral("id"), id},
                             {QStringLiteral("status"), QStringLiteral("failed")},
                             {QStringLiteral("reason"), reason},
                             {QStringLiteral("values"), valuesOf(record, *variant)},
                             {QStringLiteral("listSha256"), record.listHash},
                             {QStringLiteral("inputSha256"), record.inputHash},
                             {QStringLiteral("seconds"), 0},
                             {QStringLiteral("finished"), timestamp()},
                             {QStringLiteral("metrics"), QJsonArray()},
                             {QStringLiteral("pictures"), QJsonArray()}};
    QString problem;
    QFile::remove(folder.runningFile(id));
    return writeWhole(folder.metricsFile(id), QJsonDocument(result).toJson(QJsonDocument::Indented),
                      problem);
}

VariantTask::Status VariantTask::run(const QString& studyFolder, const QString& id,
                                     QTextStream& err) {
    const StudyFolder folder(studyFolder);
    QString problem;
    const auto record = StudyRecord::read(folder.recordFile(), problem);
    if (!record) {
        err << "cellvane-study: " << problem << Qt::endl;
        return NotRecorded;
    }
    const VariantTable::Variant* variant = record->table.find(id);
    if (!variant) {
        err << "cellvane-study: the study in " << folder.path() << " has no variant \"" << id
            << "\"" << Qt::endl;
        return NotRecorded;
    }
    const QString variantFolder = folder.variantFolder(id);
    if (!QDir().mkpath(variantFolder)) {
        err << "cellvane-study: cannot make the folder " << variantFolder << Qt::endl;
        return NotRecorded;
    }
    // Results of an earlier try are not this run's: the variant is unfinished until the new
    // metrics file is in place.
    QFile::remove(folder.metricsFile(id));
    QFile::remove(folder.documentFile(id));
    QFile::remove(folder.cancelledFile(id));
    {
        QFile running(folder.runningFile(id));
        if (running.open(QIODevice::WriteOnly))
            running.write(QStringLiteral("%1 %2")
                              .arg(QSysInfo::machineHostName())
                              .arg(QCoreApplication::applicationPid())
                              .toUtf8());
    }
    const RunningHeartbeat heartbeat(folder.runningFile(id));

    QElapsedTimer timer;
    timer.start();
    const QStringList settings = record->table.settings(*variant);
    QStringList pictures;
    Ui::ProcessListRun::Options options;
    options.list = folder.listFile();
    options.input = record->input;
    options.volume = record->volume;
    options.settings = settings;
    options.settings << pictureSettings(folder.listFile(), settings, variantFolder, pictures);
    const QString measured = variantFolder + QStringLiteral("/.measured.json");
    options.metrics = measured;
    if (record->keepDocuments)
        options.output = folder.documentFile(id);

    QString logText;
    Ui::ProcessListRun::Status status;
    {
        // Relative names in the list (mask images, layouts) mean what they meant where the
        // study was started.
        const QString here = QDir::currentPath();
        if (!record->workingFolder.isEmpty())
            QDir::setCurrent(record->workingFolder);
        QTextStream log(&logText);
        log << "variant " << id << ": " << settings.join(QLatin1Char(' ')) << Qt::endl;
        status = Ui::ProcessListRun::run(options, log);
        QDir::setCurrent(here);
    }
    // The runner wrote the measurements under a temporary name that this task renames; the
    // log names the file the user finds.
    logText.replace(QStringLiteral(".measured.json"), QStringLiteral("metrics.json"));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    {
        QFile log(folder.logFile(id));
        if (log.open(QIODevice::WriteOnly))
            log.write(logText.toUtf8());
    }

    const QJsonObject values = valuesOf(*record, *variant);
    QJsonArray metrics;
    {
        QFile file(measured);
        if (file.open(QIODevice::ReadOnly))
            metrics = QJsonDocument::fromJson(file.readAll())
                          .object()
                          .value(QStringLiteral("metrics"))
                          .toArray();
        file.remove();
    }
    QJsonArray pictureNames;
    for (const QString& picture : pictures)
        if (QFileInfo::exists(variantFolder + QLatin1Char('/') + picture))
            pictureNames.append(picture);
    const bool done = status == Ui::ProcessListRun::Done;
    QJsonObject result{
        {QStringLiteral("id"), id},
        {QStringLiteral("status"), done ? QStringLiteral("done") : QStringLiteral("failed")},
        {QStringLiteral("values"), values},
        {QStringLiteral("listSha256"), record->listHash},
        {QStringLiteral("inputSha256"), record->inputHash},
        {QStringLiteral("seconds"), seconds},
        {QStringLiteral("peakMemory"), peakMemoryBytes()},
        {QStringLiteral("host"), QSysInfo::machineHostName()},
        {QStringLiteral("finished"), timestamp()},
        {QStringLiteral("metrics"), metrics},
        {QStringLiteral("pictures"), pictureNames}};
    if (!done) {
        QString reason = reasonFrom(logText);
        if (reason.isEmpty())
            reason = QStringLiteral("the list did not run whole");
        result.insert(QStringLiteral("reason"), reason);
    }
    if (done && record->keepDocuments)
        result.insert(QStringLiteral("document"), QFileInfo(folder.documentFile(id)).fileName());
    const bool written = writeWhole(folder.metricsFile(id),
                                    QJsonDocument(result).toJson(QJsonDocument::Indented), problem);
    QFile::remove(folder.runningFile(id));
    if (!written) {
        err << "cellvane-study: " << problem << Qt::endl;
        return NotRecorded;
    }
    return done ? Done : Failed;
}

} // namespace Core::Study
