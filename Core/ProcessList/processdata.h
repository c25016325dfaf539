#pragma once

#include "Core/Operations/BatchRun/processrecord.h"

#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>

namespace Ui {

// One step of a process list: which process, and its parameters by name, each with whether
// the batch dialog shows it. A plain value; copies keep the id. Its type codes
// (ProcessData::CVD, ...) are the ones the executor of records knows.
class ProcessData : public Core::Operations::ProcessTypes {
public:
    // Takes the next serial number of the run.
    explicit ProcessData(int processType);

    int getId() const { return id; }
    int getProcessType() const { return processType; }

    void setParameter(const QString& name, const QVariant& value, bool visible);
    // A name that is not there yet is added, as an invalid value (respectively as hidden).
    QVariant getParameter(const QString& name);
    bool isVisible(const QString& name);
    QMap<QString, QVariant> getParameters() const { return parameters; }
    // Visibility by name; names asked for with getParameter only are missing.
    QMap<QString, bool> getVisibility() const { return visibility; }
    // Replaces a value without touching its visibility; false (and no change) when the record
    // has no parameter of that name.
    bool replaceParameter(const QString& name, const QVariant& value);

    // The name the batch dialog lists the process under ("Unknown process" for other codes).
    static QString displayName(int processType);

private:
    int id;
    int processType;
    QMap<QString, QVariant> parameters;
    QMap<QString, bool> visibility;

    static std::atomic<int> nextId;
};

} // namespace Ui
