#pragma once

#include "Core/Study/studyrecord.h"

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace Core::Study {

// The results of a study, gathered from its variants' metrics files: one row per variant with
// its values, every measured number, its state and time.
class StudyResults {
public:
    struct Metric {
        QString name;
        QString unit;
        // The first value of its "Measure" step (the one named by the step); the others are
        // its details (".mean", ".top", ...), which the table shows and the plots leave out.
        bool primary = false;
        // "etch depth (µm)": how a column or an axis names it.
        QString label() const;
    };
    struct Row {
        QString id;
        QStringList values;
        // "done", "failed" or "missing".
        QString status;
        QString reason;
        std::optional<double> seconds;
        // By metric name; no entry when the variant has no answer for it.
        std::map<QString, double> metrics;
        // The variant's pictures, relative to the study's folder.
        QStringList pictures;
    };
    // One line of a plot: the points of the variants that share `value` of the second parameter.
    struct Series {
        QString name;
        std::vector<std::pair<double, double>> points;
    };
    struct Plot {
        QString metric;
        QString parameter;
        // A name safe as a file name, without the suffix.
        QString fileName;
        QString title;
        QString xLabel;
        QString yLabel;
        std::vector<Series> series;
    };

    QStringList parameters;
    std::vector<Metric> metrics;
    std::vector<Row> rows;

    static StudyResults gather(const StudyFolder& folder, const StudyRecord& record);
    // id, the parameters, every metric (with its unit in the header), status, seconds, reason.
    QByteArray csv() const;
    // Points of the variants that are done only. A plot of every step's metric against every
    // parameter whose values are all numbers; one line per value of the next varied parameter (all
    // points on one line when there is none).
    std::vector<Plot> plots() const;
    // "etch depth" → "etch-depth": letters, digits and '-' only.
    // A parameter's name with the unit of its record value, as the plots' axes show it.
    static QString parameterLabel(const QString& parameter);
    static QString fileNamePart(const QString& text);
    // A field of results.csv: text a spreadsheet would run as a formula (starting with '=',
    // '+', '-' or '@', and not a number) is written with a leading apostrophe.
    static QString spreadsheetField(const QString& text);
};

} // namespace Core::Study
