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
    // A missing variant whose task was cancelled or stopped.
    bool cancelled = false;
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

// A task touches its running file this often while it runs.
constexpr int runningHeartbeatSeconds = 60;
// A running file of another host untouched this long was left by a task that died (its machine
// failed, or it was killed before it could remove the file).
constexpr int runningStaleSeconds = 5 * 60;

// Whether the task named in a "HOST PID" running file runs: on this host, whether the process is
// alive; on another, whose processes cannot be asked about, whether the file was touched within
// runningStaleSeconds.
bool runningFileIsLive(const QString& fileName);

} // namespace Core::Study
