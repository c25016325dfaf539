#include "Core/Study/variantstatus.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <cerrno>
#include <signal.h>

namespace Core::Study {

std::optional<VariantState> readFinished(const StudyFolder& folder, const StudyRecord& record,
                                         const VariantTable::Variant& variant) {
    QFile file(folder.metricsFile(variant.id));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    const QString status = root.value(QStringLiteral("status")).toString();
    if (root.value(QStringLiteral("id")).toString() != variant.id ||
        root.value(QStringLiteral("listSha256")).toString() != record.listHash ||
        root.value(QStringLiteral("inputSha256")).toString() != record.inputHash ||
        (status != QStringLiteral("done") && status != QStringLiteral("failed")))
        return std::nullopt;
    // Results made with other values (a table changed under --force) are not this variant's.
    const QJsonObject values = root.value(QStringLiteral("values")).toObject();
    if (values.size() != record.table.parameters.size())
        return std::nullopt;
    for (int i = 0; i < record.table.parameters.size(); ++i)
        if (values.value(record.table.parameters[i]).toString() != variant.values[i])
            return std::nullopt;
    VariantState state;
    state.id = variant.id;
    state.kind = status == QStringLiteral("done") ? VariantState::Done : VariantState::Failed;
    state.reason = root.value(QStringLiteral("reason")).toString();
    state.seconds = root.value(QStringLiteral("seconds")).toDouble();
    return state;
}

bool runningFileIsLive(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList fields = QString::fromUtf8(file.readAll()).split(QLatin1Char(' '));
    if (fields.size() != 2)
        return false;
    if (fields[0] != QSysInfo::machineHostName()) {
        // A clock ahead of ours on a shared file system gives a negative age: still live.
        const QDateTime touched = QFileInfo(fileName).lastModified();
        return touched.isValid() &&
               touched.secsTo(QDateTime::currentDateTime()) < runningStaleSeconds;
    }
    bool number = false;
    const qint64 pid = fields[1].trimmed().toLongLong(&number);
    if (!number || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

StudyStatus StudyStatus::scan(const StudyFolder& folder, const StudyRecord& record) {
    StudyStatus status;
    double totalSeconds = 0;
    for (const auto& variant : record.table.variants) {
        VariantState state;
        state.id = variant.id;
        if (const auto finished = readFinished(folder, record, variant)) {
            state = *finished;
            totalSeconds += state.seconds;
        } else if (runningFileIsLive(folder.runningFile(variant.id))) {
            state.kind = VariantState::Running;
        } else {
            state.cancelled = QFileInfo::exists(folder.cancelledFile(variant.id));
        }
        switch (state.kind) {
        case VariantState::Done:
            ++status.done;
            break;
        case VariantState::Failed:
            ++status.failed;
            break;
        case VariantState::Running:
            ++status.running;
            break;
        case VariantState::Missing:
            ++status.missing;
            break;
        }
        status.variants.push_back(state);
    }
    if (status.done + status.failed > 0)
        status.meanSeconds = totalSeconds / (status.done + status.failed);
    return status;
}

QStringList StudyStatus::pending(bool withRunning) const {
    QStringList ids;
    for (const VariantState& state : variants)
        if (state.kind == VariantState::Missing || state.kind == VariantState::Failed ||
            (withRunning && state.kind == VariantState::Running))
            ids << state.id;
    return ids;
}

} // namespace Core::Study
