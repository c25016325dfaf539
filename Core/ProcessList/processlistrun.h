#pragma once

#include "Core/ProcessList/processdata.h"
#include "Util/progressreporter.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QTextStream;

namespace Model {
class Document;
}

namespace Ui {

// Runs a process list without a window, as the command-line runner does: from a cell volume of
// a document or from the list's own "Create Substrate" step, every record in order through the
// executor the batch dialog uses, one progress line per step, then the resulting document and
// exports. "Save Image" steps draw the document as the 3D view would, without a display.
class ProcessListRun {
public:
    struct Options {
        QString list;
        // A document to start from, and which of its cell volumes (from 1).
        QString input;
        int volume = 1;
        QString output;
        // "STEP.NAME=VALUE": replaces parameter NAME of step STEP (from 1) before the run.
        QStringList settings;
        QString mesh;
        QString vti;
        // The cantilever netlist of the resulting cell volume, as cellvane-extract writes it.
        QString netlist;
        // Every "Measure" step's results, as JSON or (for a name ending in ".csv") CSV.
        QString metrics;
        QSize imageSize;
        // Hears how far each step is and may cancel it; none when null.
        Util::ProgressReporter* progress = nullptr;
    };

    // Exit codes: every step ran and everything asked for was written; a step could not run
    // or an output could not be written; bad usage or input that cannot be read.
    // Cancelled: the progress reporter stopped a step, whose cells are as before it.
    enum Status { Done = 0, StepFailed = 1, BadInput = 2, Cancelled = 3 };

    // Progress and problems go to `log`, one line each, naming the file concerned.
    static Status run(const Options& options, QTextStream& log);
    // The same run, whose objects are left in `document` (which should start empty) for a
    // caller that works on with them.
    static Status run(const Options& options, QTextStream& log, Model::Document& document);

    // Applies one "STEP.NAME=VALUE" to the list. False, with the reason, for a step or
    // parameter the list does not have or a value that is no value of the parameter's kind.
    static bool applySetting(QList<ProcessData>& list, const QString& setting, QString& problem);
    // Whether applySetting takes some value for "STEP.NAME": the step exists and has the
    // parameter, or may be given it (an optional value, a side's layout). False, with the
    // reason, otherwise.
    static bool takesParameter(const QList<ProcessData>& list, const QString& parameter,
                               QString& problem);

    // "STEP.TopLayout=chip.gds:5/0" (or BottomLayout) on a photolithography step: that side's
    // mask is made from the layout's layer when the step runs.
    static bool applyLayout(ProcessData& process, const QString& name, const QString& setting,
                            const QString& value, QString& problem);

    // "CVD (Material: Thermal Si02, Thickness: 2)": the kind and the shown parameters.
    static QString describe(const ProcessData& process);
};

} // namespace Ui
