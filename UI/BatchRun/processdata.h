#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>

namespace Ui {

// One step of a process list: which process, and its parameters by name, each with whether
// the batch dialog shows it. A plain value; copies keep the id.
class ProcessData {
public:
    // Type codes of the processes a list can hold; `Invalid` marks a record read from an
    // element that was no process.
    enum ProcessType {
        Photolithography = 0,
        SiWetEtching = 1,
        MooreDeposition = 2,
        MooreEtching = 3,
        CVD = 4,
        IsotropicEtching = 5,
        Planarization = 6,
        Electroplating = 7,
        Doping = 8,
        SpinCoating = 9,
        SaveImage = 10,
        CreateSubstrate = 11,
        PVD = 12,
        SimpleRIE = 13,
        IonImplantation = 14,
        SiOxidation = 15,
        Invalid = 16,
    };

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
