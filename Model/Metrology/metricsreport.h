#pragma once

#include "Model/Metrology/measurement.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <vector>

namespace Model::Metrology {

// The results of the measurements of a run, for scripts: one record per measured number with
// the position of the step that took it, its name, value and unit. A measurement without an
// answer is one record with no value and the reason.
//
// JSON: {"metrics": [{"step": 5, "name": "etch", "value": 12, "unit": "µm",
//                     "measurement": "depth:Si@0,0..59,59"}, ...]}
// CSV:  step,name,value,unit,measurement,reason (one header line, RFC 4180 quoting).
class MetricsReport {
public:
    void add(int step, const QString& measurement, const QString& resultName,
             const Measurement& result);
    bool isEmpty() const { return entries.empty(); }

    QByteArray json() const;
    QByteArray csv() const;
    // CSV when the name ends in ".csv" (any case), JSON otherwise; written whole or not at all.
    // False, with the reason, when the file cannot be written.
    bool write(const QString& fileName, QString* problem) const;

    // One measurement as cellvane-measure reports it: its text, whether it has an answer, the
    // named values, the reason, and for a stack its layers and for totals every material.
    static QJsonObject describe(const QString& measurement, const QString& resultName,
                                const Measurement& result);

private:
    struct Entry {
        int step;
        QString measurement;
        QString resultName;
        Measurement result;
    };
    std::vector<Entry> entries;
};

} // namespace Model::Metrology
