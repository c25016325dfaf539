#include "Model/Metrology/metricsreport.h"
#include "Util/savefile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace Model::Metrology {

namespace {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString number(double value) {
    return QString::number(value, 'g', 15);
}

} // namespace

void MetricsReport::add(int step, const QString& measurement, const QString& resultName,
                        const Measurement& result) {
    entries.push_back({step, measurement, resultName, result});
}

QByteArray MetricsReport::json() const {
    QJsonArray metrics;
    for (const Entry& entry : entries) {
        const auto record = [&](const QString& name) {
            QJsonObject object;
            object.insert(QStringLiteral("step"), entry.step);
            object.insert(QStringLiteral("name"), name);
            object.insert(QStringLiteral("measurement"), entry.measurement);
            return object;
        };
        if (!entry.result.hasAnswer()) {
            QJsonObject object = record(entry.resultName);
            object.insert(QStringLiteral("value"), QJsonValue::Null);
            object.insert(QStringLiteral("unit"), QJsonValue::Null);
            object.insert(QStringLiteral("reason"), entry.result.reason);
            metrics.append(object);
            continue;
        }
        for (const NamedValue& value : namedValues(entry.result, entry.resultName)) {
            QJsonObject object = record(value.name);
            object.insert(QStringLiteral("value"), value.value);
            object.insert(QStringLiteral("unit"), value.unit);
            metrics.append(object);
        }
    }
    QJsonObject root;
    root.insert(QStringLiteral("metrics"), metrics);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray MetricsReport::csv() const {
    QString text = QStringLiteral("step,name,value,unit,measurement,reason\n");
    for (const Entry& entry : entries) {
        const QString head = QString::number(entry.step) + QLatin1Char(',');
        if (!entry.result.hasAnswer()) {
            text += head + csvField(entry.resultName) + QStringLiteral(",,,") +
                    csvField(entry.measurement) + QLatin1Char(',') + csvField(entry.result.reason) +
                    QLatin1Char('\n');
            continue;
        }
        for (const NamedValue& value : namedValues(entry.result, entry.resultName))
            text += head + csvField(value.name) + QLatin1Char(',') + number(value.value) +
                    QLatin1Char(',') + csvField(value.unit) + QLatin1Char(',') +
                    csvField(entry.measurement) + QStringLiteral(",\n");
    }
    return text.toUtf8();
}

bool MetricsReport::write(const QString& fileName, QString* problem) const {
    const bool asCsv = fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    Util::SaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (problem)
            *problem = QStringLiteral("cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    file.write(asCsv ? csv() : json());
    if (!file.commit()) {
        if (problem)
            *problem = QStringLiteral("cannot write %1: %2")
                           .arg(QDir::toNativeSeparators(fileName), file.errorString());
        return false;
    }
    return true;
}

QJsonObject MetricsReport::describe(const QString& measurement, const QString& resultName,
                                    const Measurement& result) {
    QJsonObject object;
    object.insert(QStringLiteral("measurement"), measurement);
    object.insert(QStringLiteral("answer"), result.hasAnswer());
    if (!result.hasAnswer()) {
        object.insert(QStringLiteral("reason"), result.reason);
        return object;
    }
    QJsonArray values;
    for (const NamedValue& value : namedValues(result, resultName)) {
        QJsonObject entry;
        entry.insert(QStringLiteral("name"), value.name);
        entry.insert(QStringLiteral("value"), value.value);
        entry.insert(QStringLiteral("unit"), value.unit);
        values.append(entry);
    }
    object.insert(QStringLiteral("values"), values);
    if (!result.layers.empty()) {
        QJsonArray layers;
        for (const StackLayer& layer : result.layers) {
            QJsonObject entry;
            entry.insert(QStringLiteral("material"), layer.name);
            entry.insert(QStringLiteral("id"), qint64(layer.material));
            entry.insert(QStringLiteral("top"), layer.top);
            entry.insert(QStringLiteral("bottom"), layer.bottom);
            entry.insert(QStringLiteral("thickness"), layer.thickness);
            layers.append(entry);
        }
        object.insert(QStringLiteral("layers"), layers);
    }
    if (!result.totals.empty()) {
        QJsonArray totals;
        for (const MaterialTotal& total : result.totals) {
            QJsonObject entry;
            entry.insert(QStringLiteral("material"), total.name);
            entry.insert(QStringLiteral("id"), qint64(total.material));
            entry.insert(QStringLiteral("cells"), qint64(total.cells));
            entry.insert(QStringLiteral("volume"), total.volume);
            entry.insert(QStringLiteral("exposedArea"), total.exposedArea);
            totals.append(entry);
        }
        object.insert(QStringLiteral("materials"), totals);
    }
    if (!result.bodies.empty()) {
        QJsonArray bodies;
        for (const FreeBody& body : result.bodies) {
            QJsonObject entry;
            entry.insert(QStringLiteral("hold"), FreeBody::holdName(body.hold));
            entry.insert(QStringLiteral("substrate"), body.substrate);
            entry.insert(QStringLiteral("cells"), qint64(body.cells));
            entry.insert(QStringLiteral("volume"), body.volume);
            entry.insert(QStringLiteral("contact"), body.contact);
            entry.insert(QStringLiteral("released"), body.released);
            bodies.append(entry);
        }
        object.insert(QStringLiteral("bodies"), bodies);
    }
    return object;
}

} // namespace Model::Metrology
