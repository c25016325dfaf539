#pragma once

#include "Core/Operations/BatchRun/processrecord.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

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
    };
    struct Result {
        Outcome outcome = Outcome::Done;
        // Why it did not run, in words starting in lower case; empty when done.
        QString problem;
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

    std::shared_ptr<Model::Automaton::TotalVolume> getVolume() const { return volume; }
    void setVolume(std::shared_ptr<Model::Automaton::TotalVolume> value) {
        volume = std::move(value);
    }

    Result execute(int processType, const QVariantMap& parameters);

    // Whether a record of this type can run without a volume (it creates one).
    static bool createsVolume(int processType) {
        return processType == ProcessTypes::CreateSubstrate;
    }

    // Whether a record of this type only looks at the cells (pictures), so that a list of
    // nothing else leaves nothing to undo.
    static bool changesNoCell(int processType) {
        return processType == ProcessTypes::SaveImage ||
               processType == ProcessTypes::SaveCrossSection;
    }

private:
    ProcessHistory& history;
    Hooks hooks;
    std::shared_ptr<Model::Automaton::TotalVolume> volume;
};

} // namespace Core::Operations
