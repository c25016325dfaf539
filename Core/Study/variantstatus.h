#pragma once

#include "Core/Study/studyrecord.h"

#include <QString>

#include <vector>

namespace Core::Study {

// Where each variant of a study stands, read from the variants' folders alone, so that any
// process (the run, `status`, a node of a cluster) sees the same: a variant is finished only
// when its metrics file is whole and was made from the study's list and input document with the
// variant's values.
struct VariantState {
    enum Kind { Missing, Running, Done, Failed };
    QString id;
    Kind kind = Missing;
    // Why a failed variant failed.
    QString reason;
    double seconds = 0;
};

struct StudyStatus {
    std::vector<VariantState> variants;
    int done = 0;
    int failed = 0;
    int running = 0;
    int missing = 0;
    // The mean time of a finished variant, for the estimate of what is left.
    double meanSeconds = 0;

    static StudyStatus scan(const StudyFolder& folder, const StudyRecord& record);
    // The ids still to run: missing and failed (and, when `withRunning`, those that look
    // running, as after a crash of the machine that ran them).
    QStringList pending(bool withRunning) const;
};

// The variant's metrics file, if whole and made for `variant` from the study's list.
std::optional<VariantState> readFinished(const StudyFolder& folder, const StudyRecord& record,
                                         const VariantTable::Variant& variant);

// Whether the process named in a "HOST PID" running file is alive; a process on another host
// is taken to be.
bool runningFileIsLive(const QString& fileName);

} // namespace Core::Study
