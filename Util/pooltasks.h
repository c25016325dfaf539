#pragma once

#include <functional>

class QThreadPool;

namespace Util {

// Runs task(i) for every i in [0, count) as one task each on `pool` and returns when all have
// finished, so that two calls in a row are a barrier: what the caller wrote before the call is
// seen by every task, and what the tasks wrote is seen by the caller afterwards. Tasks no pool
// thread has started by the time the caller waits run on the caller's thread, so a caller that
// is itself a thread of a busy pool never waits for a free one. The first exception a task
// throws is rethrown here once all tasks are done.
void runTasksAndWait(QThreadPool& pool, int count, const std::function<void(int)>& task);

} // namespace Util
