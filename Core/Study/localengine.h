#pragma once

#include "Core/Study/studyengine.h"

namespace Core::Study {

// Runs the variants on this machine: up to `jobs` task processes at a time, a fresh one for
// each variant, so that a variant that exhausts memory or crashes takes only itself down and
// its peak memory is its own. A task that ends without writing its metrics is recorded as
// failed, with how it ended. Ctrl-C (or SIGTERM, SIGHUP) stops the run's tasks, removes their
// running files, so that the variants are missing again, and ends wait() naming them.
class LocalEngine : public StudyEngine {
public:
    static QString engineName() { return QStringLiteral("local"); }
    QString name() const override { return engineName(); }

    bool submit(const EngineRequest& request, QString& problem) override;
    bool wait(const EngineRequest& request, const std::function<void(int running)>& report,
              QString& problem) override;
    // The tasks are children of the run; stopping the run (Ctrl-C) stops them.
    bool cancel(const StudyFolder& folder, QString& problem) override;

private:
    QStringList queue;
};

} // namespace Core::Study
