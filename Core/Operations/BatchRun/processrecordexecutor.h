#pragma once

#include "Core/Operations/BatchRun/processrecord.h"
#include "Core/Operations/BatchRun/recordvalues.h"
#include "Model/Metrology/measurement.h"
#include "Util/progressreporter.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Model::Automaton {
class TotalVolume;
}

namespace Core::Operations {

class ProcessHistory;

// Runs the records of a process list, one at a time, on one cell volume: the record's values
// are read by name, the step's engine is built on the volume and run on the calling thread,
// and the volume's history (last operation, silicon lattice out of date) is kept as the same
// step run from its menu would keep it. The batch dialog's worker and the command-line runner
// both run their lists through this.
//
// A "Measure" step reads the volume only: it changes no cell and leaves the history as it was.
//
// A record runs whole or not at all: one that lacks a value, holds one that is no number of
// the kind needed, or asks for what the step refuses changes nothing, and says why.
class ProcessRecordExecutor {
public:
    enum class Outcome {
        Done,
        // The record was not run: bad or refused values, or an unknown type.
        NotRun,
        // The record needs a cell volume and there is none: nothing ran.
        NoVolume,
        // The step started but did not finish (memory ran out, the image was not written).
        Failed,
        // The step's progress reporter asked it to stop; the cells are as they were.
        Cancelled,
        // A "Measure" step whose measurement has no answer (the probe lies outside the volume,
        // the material is absent); `measurement` says why.
        NoAnswer,
    };
    // A thickness or depth a step made, in whole cells: the record's parameter it came from and
    // the length in µm.
    struct MadeLength {
        QString parameter;
        double microns = 0.0;
    };
    struct Result {
        Result() = default;
        Result(Outcome outcome, QString problem) : outcome(outcome), problem(std::move(problem)) {}

        Outcome outcome = Outcome::Done;
        // Why it did not run, in words starting in lower case; empty when done.
        QString problem;
        // What a "Measure" step measured, under the name its results are reported by; what a
        // "Release Etch" freed (the free structures, "release").
        std::optional<Model::Metrology::Measurement> measurement;
        QString resultName;
        // How the step rounded its thickness or depth to whole cells, when it was no whole
        // number of them ("1.5 µm is 1.5 cells of 1 µm: deposited 2 cells = 2 µm"); and every
        // length it made.
        QString note;
        std::vector<MadeLength> made;
        bool isDone() const { return outcome == Outcome::Done; }
    };

    // What the caller does for the steps that reach beyond the volume. Both are called on the
    // thread that executes.
    struct Hooks {
        // A "Create Substrate" step built a volume, which is the executor's volume from now on.
        std::function<void(const std::shared_ptr<Model::Automaton::TotalVolume>&)> volumeCreated;
        // A "Save Image" step: show the volume as it is now and, for a non-empty name, write
        // the picture to that file. Returns why it could not, or an empty text.
        std::function<QString(Model::Automaton::TotalVolume& volume, const QString& fileName)>
            saveImage;
    };

    ProcessRecordExecutor(ProcessHistory& history, Hooks hooks);

    // A "Release Etch" record without a material removes oxide.
    static constexpr int defaultSacrificialMaterial = 3;
    // The free structures of `volume` with the undercut below each anchor of `sacrificial`.
    static Model::Metrology::Measurement releaseReport(Model::Automaton::TotalVolume& volume,
                                                       std::uint32_t sacrificial);

    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    void setVolume(std::shared_ptr<Model::Automaton::TotalVolume> value) {
        volume = std::move(value);
    }
    // The scale of the document created volumes join: a record's cell sizes are µm.
    void setMicrometresPerSceneUnit(double value) { micrometresPerSceneUnit = value; }

    // `progress` hears how far a long step is and may cancel it: the step then stops at its
    // next check and every cell gets back its material from before (a copy kept for that,
    // which the default reporter, never cancelling, does without).
    Result execute(int processType, const QVariantMap& parameters,
                   Util::ProgressReporter& progress = Util::ProgressReporter::none());

    // The values a record of this type is read with, as the step reads them; nothing for a
    // type the executor does not run.
    static std::optional<std::vector<RecordField>> fieldsOf(int processType);
    // Every type code the executor runs, in ascending order.
    static std::vector<int> processTypes();

    // Whether a record of this type can run without a volume (it creates one).
    static bool createsVolume(int processType) {
        return processType == ProcessTypes::CreateSubstrate;
    }

    // Whether a record of this type only looks at the cells (pictures, measurements), so that a
    // list of nothing else leaves nothing to undo.
    static bool changesNoCell(int processType) {
        return processType == ProcessTypes::SaveImage ||
               processType == ProcessTypes::SaveCrossSection ||
               processType == ProcessTypes::Measure;
    }

private:
    Result execute(int processType, RecordValues& values, Util::ProgressReporter& progress);
    Result measure(RecordValues& values);

    ProcessHistory& history;
    Hooks hooks;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
    double micrometresPerSceneUnit = 1.0;
};

} // namespace Core::Operations
