#include "Util/pooltasks.h"

#include "Util/threadhandoff.h"

#include <QRunnable>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace Util {

namespace {

thread_local QThreadPool* threadWorkPool = nullptr;

// The tasks of one call still out, and the first failure among them. The count is kept under
// a standard mutex rather than waited for through QFuture: ThreadSanitizer sees this lock, so it
// knows the tasks' writes happen before the caller goes on.
class Pass {
public:
    explicit Pass(int count) : remaining(count) {}

    void finished(std::exception_ptr failure) {
        std::lock_guard<std::mutex> lock(mutex);
        if (failure && !firstFailure)
            firstFailure = failure;
        if (--remaining == 0)
            done.notify_all();
    }

    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [this] { return remaining == 0; });
        if (firstFailure)
            std::rethrow_exception(firstFailure);
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    int remaining;
    std::exception_ptr firstFailure;
};

// Owned by the caller, never by the pool, so that it outlives the run on whichever thread.
class PassTask : public QRunnable {
public:
    PassTask(const std::function<void(int)>& task, int index, Pass& pass)
        : task(task), index(index), pass(pass) {
        setAutoDelete(false);
    }

    void run() override {
        // The task's own address is the token: taking it over needs no read of the task.
        takeOver(this);
        std::exception_ptr failure;
        try {
            task(index);
        } catch (...) {
            failure = std::current_exception();
        }
        pass.finished(failure);
    }

private:
    const std::function<void(int)>& task;
    const int index;
    Pass& pass;
};

} // namespace

void runTasksAndWait(QThreadPool& pool, int count, const std::function<void(int)>& task) {
    if (count <= 0)
        return;
    Pass pass(count);
    std::vector<std::unique_ptr<PassTask>> tasks;
    tasks.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        tasks.push_back(std::make_unique<PassTask>(task, i, pass));
    for (const auto& passTask : tasks) {
        handOver(passTask.get());
        pool.start(passTask.get());
    }
    for (auto passTask = tasks.rbegin(); passTask != tasks.rend(); ++passTask) {
        if (pool.tryTake(passTask->get()))
            (*passTask)->run();
    }
    pass.wait();
}

QThreadPool& workPool() {
    return threadWorkPool ? *threadWorkPool : *QThreadPool::globalInstance();
}

WorkPool::WorkPool(int threads) : pool(std::make_unique<QThreadPool>()), previous(threadWorkPool) {
    pool->setMaxThreadCount(std::max(1, threads));
    threadWorkPool = pool.get();
}

WorkPool::~WorkPool() {
    threadWorkPool = previous;
    pool->waitForDone();
}

} // namespace Util
