#pragma once

#include <QString>

class QTextStream;

namespace Core::Study {

class StudyFolder;
struct StudyRecord;

// Runs one variant of a study in this process: the study's list with the variant's values
// applied as the runner's --set applies them, through the runner itself, in the variant's
// folder. Its pictures go to that folder, its log to log.txt, and last of all metrics.json:
// the measurements, "done" or "failed" with the reason, seconds and peak memory. Every
// engine runs a variant through this, so a variant's cells are the same wherever it ran.
class VariantTask {
public:
    // Variant done; variant failed (recorded with its reason); the variant could not be run
    // or recorded at all (no such study or id, a folder that cannot be written).
    enum Status { Done = 0, Failed = 1, NotRecorded = 2 };

    static Status run(const QString& studyFolder, const QString& id, QTextStream& err);

    // Records variant `id` as failed for `reason` when its task ended without recording it
    // (it crashed, was killed, or could not start), so that the study says why. False when the
    // metrics file cannot be written.
    static bool recordFailure(const StudyFolder& folder, const StudyRecord& record,
                              const QString& id, const QString& reason);
};

} // namespace Core::Study
