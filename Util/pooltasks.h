#pragma once

#include <functional>
#include <memory>

class QThreadPool;

namespace Util {

// The pool the calling thread's parallel work runs on, and whose thread count sets how the
// work is split: the process's global pool, or the pool of a WorkPool in scope on this thread.
QThreadPool& workPool();

// Gives the calling thread's work a pool of `threads` threads of its own while in scope, so
// that one run may take another thread count than the process and than runs on other threads
// (two scripts' runs at once), and none changes the global pool under the others.
class WorkPool {
public:
    explicit WorkPool(int threads);
    ~WorkPool();
    WorkPool(const WorkPool&) = delete;
    WorkPool& operator=(const WorkPool&) = delete;

private:
    std::unique_ptr<QThreadPool> pool;
    QThreadPool* previous;
};

// Runs task(i) for every i in [0, count) as one task each on `pool` and returns when all have
// finished, so that two calls in a row are a barrier: what the caller wrote before the call is
// seen by every task, and what the tasks wrote is seen by the caller afterwards. Tasks no pool
// thread has started by the time the caller waits run on the caller's thread, so a caller that
// is itself a thread of a busy pool never waits for a free one. The first exception a task
// throws is rethrown here once all tasks are done.
void runTasksAndWait(QThreadPool& pool, int count, const std::function<void(int)>& task);

} // namespace Util
