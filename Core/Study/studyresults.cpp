#include "Core/Study/studyresults.h"

#include "Core/Operations/BatchRun/processrecord.h"

#include "Core/Study/variantstatus.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <set>

namespace Core::Study {

QString StudyResults::Metric::label() const {
    return unit.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, unit);
}

// "2.Thickness" -> "2.Thickness (µm)": the unit of the record value the parameter sets.
QString StudyResults::parameterLabel(const QString& parameter) {
    const QString unit =
        Core::Operations::RecordParameters::unitOf(parameter.section(QLatin1Char('.'), 1));
    return unit.isEmpty() ? parameter : QStringLiteral("%1 (%2)").arg(parameter, unit);
}

QString StudyResults::fileNamePart(const QString& text) {
    QString part;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            part += c.toLower();
        else if (!part.endsWith(QLatin1Char('-')))
            part += QLatin1Char('-');
    }
    while (part.endsWith(QLatin1Char('-')))
        part.chop(1);
    while (part.startsWith(QLatin1Char('-')))
        part.remove(0, 1);
    return part.isEmpty() ? QStringLiteral("value") : part;
}

QString StudyResults::spreadsheetField(const QString& text) {
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    bool number = false;
    text.toDouble(&number);
    if (!text.isEmpty() && formulaStarts.contains(text.front()) && !number)
        return VariantTable::csvField(QLatin1Char('\'') + text);
    return VariantTable::csvField(text);
}

StudyResults StudyResults::gather(const StudyFolder& folder, const StudyRecord& record) {
    StudyResults results;
    results.parameters = record.table.parameters;
    std::set<QString> known;
    for (const auto& variant : record.table.variants) {
        Row row;
        row.id = variant.id;
        row.values = variant.values;
        row.status = QStringLiteral("missing");
        // Only a finished variant of this study counts; a stale file is as good as none.
        if (const auto state = readFinished(folder, record, variant)) {
            QFile file(folder.metricsFile(variant.id));
            file.open(QIODevice::ReadOnly);
            const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
            row.status = state->kind == VariantState::Done ? QStringLiteral("done")
                                                           : QStringLiteral("failed");
            row.reason = state->reason;
            row.seconds = state->seconds;
            std::set<int> stepsSeen;
            for (const QJsonValue& entry : root.value(QStringLiteral("metrics")).toArray()) {
                const QJsonObject metric = entry.toObject();
                const QString name = metric.value(QStringLiteral("name")).toString();
                const bool first =
                    stepsSeen.insert(metric.value(QStringLiteral("step")).toInt()).second;
                if (known.insert(name).second)
                    results.metrics.push_back(
                        {name, metric.value(QStringLiteral("unit")).toString(), first});
                if (metric.value(QStringLiteral("value")).isDouble())
                    row.metrics[name] = metric.value(QStringLiteral("value")).toDouble();
            }
            for (const QJsonValue& picture : root.value(QStringLiteral("pictures")).toArray())
                row.pictures
                    << QStringLiteral("variants/%1/%2").arg(variant.id, picture.toString());
        }
        results.rows.push_back(row);
    }
    return results;
}

QByteArray StudyResults::csv() const {
    QStringList header{QStringLiteral("id")};
    for (const QString& parameter : parameters)
        header << spreadsheetField(parameter);
    for (const Metric& metric : metrics)
        header << spreadsheetField(metric.label());
    header << QStringLiteral("status") << QStringLiteral("seconds") << QStringLiteral("reason");
    QStringList lines{header.join(QLatin1Char(','))};
    for (const Row& row : rows) {
        QStringList fields{spreadsheetField(row.id)};
        for (const QString& value : row.values)
            fields << spreadsheetField(value);
        for (const Metric& metric : metrics) {
            const auto found = row.metrics.find(metric.name);
            fields << (found == row.metrics.end() ? QString()
                                                  : QString::number(found->second, 'g', 15));
        }
        fields << row.status << (row.seconds ? QString::number(*row.seconds, 'f', 3) : QString())
               << spreadsheetField(row.reason);
        lines << fields.join(QLatin1Char(','));
    }
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

std::vector<StudyResults::Plot> StudyResults::plots() const {
    // A parameter is plotted along an axis only when every variant gives it a number.
    std::vector<int> numeric;
    for (int p = 0; p < parameters.size(); ++p) {
        bool allNumbers = true;
        for (const Row& row : rows) {
            bool number = false;
            row.values.value(p).toDouble(&number);
            allNumbers = allNumbers && number;
        }
        if (allNumbers && !rows.empty())
            numeric.push_back(p);
    }
    std::vector<Plot> result;
    for (const Metric& metric : metrics) {
        if (!metric.primary)
            continue;
        for (const int p : numeric) {
            Plot plot;
            plot.metric = metric.name;
            plot.parameter = parameters[p];
            plot.fileName =
                fileNamePart(metric.name) + QStringLiteral("-vs-") + fileNamePart(parameters[p]);
            plot.title = QStringLiteral("%1 against %2").arg(metric.name, parameters[p]);
            plot.xLabel = parameterLabel(parameters[p]);
            plot.yLabel = metric.label();
            // The lines: the values of the next parameter, in the order they first appear.
            const int second = parameters.size() > 1 ? (p + 1) % int(parameters.size()) : -1;
            std::vector<QString> lineValues;
            for (const Row& row : rows) {
                const QString key = second >= 0 ? row.values.value(second) : QString();
                if (std::find(lineValues.begin(), lineValues.end(), key) == lineValues.end())
                    lineValues.push_back(key);
            }
            for (const QString& key : lineValues) {
                Series series;
                series.name = second >= 0 ? QStringLiteral("%1 = %2").arg(parameters[second], key)
                                          : metric.name;
                for (const Row& row : rows) {
                    const auto value = row.metrics.find(metric.name);
                    if (row.status != QStringLiteral("done") || value == row.metrics.end() ||
                        (second >= 0 && row.values.value(second) != key))
                        continue;
                    series.points.emplace_back(row.values.value(p).toDouble(), value->second);
                }
                std::sort(series.points.begin(), series.points.end());
                if (!series.points.empty())
                    plot.series.push_back(series);
            }
            result.push_back(plot);
        }
    }
    return result;
}

} // namespace Core::Study
