#include "Core/Study/studyrecord.h"

#include "Util/savefile.h"
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace Core::Study {

StudyFolder::StudyFolder(const QString& path) : root(QDir(path).absolutePath()) {}

QString StudyFolder::recordFile() const {
    return root + QStringLiteral("/study.json");
}
QString StudyFolder::listFile() const {
    return root + QStringLiteral("/list.plst");
}
QString StudyFolder::tableFile() const {
    return root + QStringLiteral("/variants.csv");
}
QString StudyFolder::variantFolder(const QString& id) const {
    return root + QStringLiteral("/variants/") + id;
}
QString StudyFolder::metricsFile(const QString& id) const {
    return variantFolder(id) + QStringLiteral("/metrics.json");
}
QString StudyFolder::logFile(const QString& id) const {
    return variantFolder(id) + QStringLiteral("/log.txt");
}
QString StudyFolder::documentFile(const QString& id) const {
    return variantFolder(id) + QStringLiteral("/document.cvx");
}
QString StudyFolder::runningFile(const QString& id) const {
    return variantFolder(id) + QStringLiteral("/running");
}
QString StudyFolder::cancelledFile(const QString& id) const {
    return variantFolder(id) + QStringLiteral("/cancelled");
}

void markCancelled(const StudyFolder& folder, const QString& id, const QString& how) {
    QFile::remove(folder.runningFile(id));
    if (!QDir().mkpath(folder.variantFolder(id)))
        return;
    QString ignored;
    writeWhole(folder.cancelledFile(id), (timestamp() + QLatin1Char(' ') + how).toUtf8(), ignored);
}

QString fileHash(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex());
}

bool writeWhole(const QString& fileName, const QByteArray& bytes, QString& problem) {
    Util::SaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        problem = QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

QString timestamp() {
    return QDateTime::currentDateTime()
        .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
        .toString(Qt::ISODate);
}

QByteArray StudyRecord::json() const {
    QJsonObject list{{QStringLiteral("file"), listSource}, {QStringLiteral("sha256"), listHash}};
    QJsonArray parameters;
    for (const QString& name : table.parameters)
        parameters.append(name);
    QJsonArray variants;
    for (const auto& variant : table.variants)
        variants.append(
            QJsonObject{{QStringLiteral("id"), variant.id},
                        {QStringLiteral("values"), QJsonArray::fromStringList(variant.values)}});
    QJsonObject tableObject{{QStringLiteral("file"), tableSource},
                            {QStringLiteral("sha256"), tableHash},
                            {QStringLiteral("parameters"), parameters},
                            {QStringLiteral("variants"), variants}};
    QJsonObject root{{QStringLiteral("format"), 1},
                     {QStringLiteral("list"), list},
                     {QStringLiteral("table"), tableObject},
                     {QStringLiteral("workingFolder"), workingFolder},
                     {QStringLiteral("keepDocuments"), keepDocuments},
                     {QStringLiteral("engine"), engine},
                     {QStringLiteral("created"), created},
                     {QStringLiteral("runs"), runs}};
    if (!input.isEmpty())
        root.insert(QStringLiteral("input"), QJsonObject{{QStringLiteral("file"), input},
                                                         {QStringLiteral("volume"), volume},
                                                         {QStringLiteral("sha256"), inputHash}});
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<StudyRecord> StudyRecord::read(const QString& fileName, QString& problem) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1: %2").arg(fileName, file.errorString());
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError ||
        root.value(QStringLiteral("format")).toInt() != 1) {
        problem = QStringLiteral("%1: not a study record of this program").arg(fileName);
        return std::nullopt;
    }
    StudyRecord record;
    const QJsonObject list = root.value(QStringLiteral("list")).toObject();
    record.listSource = list.value(QStringLiteral("file")).toString();
    record.listHash = list.value(QStringLiteral("sha256")).toString();
    const QJsonObject table = root.value(QStringLiteral("table")).toObject();
    record.tableSource = table.value(QStringLiteral("file")).toString();
    record.tableHash = table.value(QStringLiteral("sha256")).toString();
    for (const QJsonValue& name : table.value(QStringLiteral("parameters")).toArray())
        record.table.parameters << name.toString();
    for (const QJsonValue& entry : table.value(QStringLiteral("variants")).toArray()) {
        VariantTable::Variant variant;
        variant.id = entry.toObject().value(QStringLiteral("id")).toString();
        for (const QJsonValue& value : entry.toObject().value(QStringLiteral("values")).toArray())
            variant.values << value.toString();
        if (!VariantTable::isPlainId(variant.id) ||
            variant.values.size() != record.table.parameters.size()) {
            problem = QStringLiteral("%1: a variant of the table is damaged").arg(fileName);
            return std::nullopt;
        }
        record.table.variants.push_back(variant);
    }
    const QJsonObject input = root.value(QStringLiteral("input")).toObject();
    record.input = input.value(QStringLiteral("file")).toString();
    record.volume = input.value(QStringLiteral("volume")).toInt(1);
    record.inputHash = input.value(QStringLiteral("sha256")).toString();
    record.workingFolder = root.value(QStringLiteral("workingFolder")).toString();
    record.keepDocuments = root.value(QStringLiteral("keepDocuments")).toBool();
    record.engine = root.value(QStringLiteral("engine")).toString();
    record.created = root.value(QStringLiteral("created")).toString();
    record.runs = root.value(QStringLiteral("runs")).toArray();
    return record;
}

bool StudyRecord::write(const QString& fileName, QString& problem) const {
    return writeWhole(fileName, json(), problem);
}

} // namespace Core::Study
