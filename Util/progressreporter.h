#pragma once

#include <QString>

#include <cstdint>

namespace Util {

// Thrown by a run that stops because the user cancelled it. It is deliberately not a
// std::exception: code that turns failures into messages must not take a cancel for one.
struct RunCancelled {};

// What a long algorithm tells whoever waits for it, and how it learns that it should stop.
// The default does nothing and never cancels, so an algorithm run without a watcher pays one
// virtual call per step. Algorithms look at it between steps and passes only, never inside a
// loop over cells.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;

    // A run, or one stage of it named by `stage`, of `total` steps begins; 0 when the length
    // is not known in advance. A run of several stages starts each in turn.
    virtual void start(std::uint64_t total, const QString& stage = QString()) {
        (void)total;
        (void)stage;
    }
    // `steps` more steps are done. Safe to call from any thread.
    virtual void advance(std::uint64_t steps = 1) { (void)steps; }
    // Whether the user asked the run to stop. Safe to call from any thread.
    virtual bool wasCancelled() const { return false; }

    // The check at a step boundary: throws RunCancelled once the user asked to stop.
    void stopIfCancelled() const {
        if (wasCancelled())
            throw RunCancelled();
    }

    // The shared reporter that does nothing.
    static ProgressReporter& none();
};

} // namespace Util
