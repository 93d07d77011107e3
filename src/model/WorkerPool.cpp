#include "model/WorkerPool.h"

#include "model/RunError.h"

#include <algorithm>
#include <system_error>

namespace orvanel {

int WorkerPool::HardwareThreads() {
    // Asked once: the library reads it from a system file on every call, which costs a
    // search as much as a small generation's scoring when asked every generation.
    static const int count = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    return count;
}

std::string WorkerPool::StartFailure(int started, int wanted, const std::exception& error) {
    return "Only " + std::to_string(started) + " of " + std::to_string(wanted) +
           " threads could be started (" + error.what() + "): ask for fewer threads";
}

WorkerPool::WorkerPool(int threads) {
    const int total = threads > 0 ? threads : HardwareThreads();
    try {
        StartWorkers(static_cast<std::size_t>(total - 1));
    } catch (const std::exception& error) {
        // The destructor does not run for a pool that failed to start: its threads are ended
        // here, or they would wait forever for a batch.
        JoinWorkers();
        throw RunError(StartFailure(ThreadCount(), total, error));
    }
}

WorkerPool::WorkerPool(std::size_t workers, std::chrono::steady_clock::duration idleInterval)
    : IdleInterval(idleInterval) {
    try {
        StartWorkers(workers);
    } catch (const std::system_error& error) {
        if (Workers.empty())
            throw RunError(StartFailure(0, static_cast<int>(workers), error));
    } catch (...) {
        JoinWorkers();
        throw;
    }
}

void WorkerPool::ForEachServing(std::size_t count, std::size_t threads,
                                const std::function<void(std::size_t)>& task,
                                std::function<void()> serve,
                                std::chrono::steady_clock::duration interval) {
    if (count == 0)
        return;
    WorkerPool pool(threads, interval);
    pool.Idle = std::move(serve);
    pool.LastIdle = std::chrono::steady_clock::now();
    pool.StartBatch(count, task);
    std::exception_ptr idleError;
    pool.FinishBatch(idleError);
}

WorkerPool::~WorkerPool() {
    JoinWorkers();
}

// Room for every thread is made first: a thread once started is never lost to a failed growth.
void WorkerPool::StartWorkers(std::size_t count) {
    Workers.reserve(count);
    while (Workers.size() < count)
        Workers.emplace_back([this] { WorkerLoop(); });
}

void WorkerPool::JoinWorkers() {
    {
        std::lock_guard lock(Mutex);
        ShuttingDown = true;
    }
    BatchStarted.notify_all();
    for (std::thread& worker : Workers)
        worker.join();
}

void WorkerPool::ForEach(std::size_t count, const std::function<void(std::size_t)>& task) {
    if (count == 0)
        return;
    std::exception_ptr idleError;
    if (Workers.empty() || count == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            task(i);
            IdleIfDue(idleError);
        }
        if (idleError)
            std::rethrow_exception(idleError);
        return;
    }
    StartBatch(count, task);
    RunTasks(&idleError);
    FinishBatch(idleError);
}

void WorkerPool::StartBatch(std::size_t count, const std::function<void(std::size_t)>& task) {
    {
        std::lock_guard lock(Mutex);
        Task = &task;
        TaskCount = count;
        NextTask.store(0);
        FirstError = nullptr;
        BusyWorkers = static_cast<int>(Workers.size());
        ++BatchNumber;
    }
    BatchStarted.notify_all();
}

void WorkerPool::FinishBatch(std::exception_ptr& idleError) {
    WaitForWorkers(idleError);
    if (FirstError)
        std::rethrow_exception(FirstError);
    if (idleError)
        std::rethrow_exception(idleError);
}

void WorkerPool::WaitForWorkers(std::exception_ptr& idleError) {
    std::unique_lock lock(Mutex);
    const auto done = [this] { return BusyWorkers == 0; };
    while (Idle && !idleError && !BatchFinished.wait_for(lock, IdleInterval, done)) {
        lock.unlock();
        IdleIfDue(idleError);
        lock.lock();
    }
    BatchFinished.wait(lock, done);
    Task = nullptr;
}

void WorkerPool::IdleIfDue(std::exception_ptr& idleError) {
    if (!Idle || idleError)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - LastIdle < IdleInterval)
        return;
    LastIdle = now;
    try {
        Idle();
    } catch (...) {
        idleError = std::current_exception();
    }
    LastIdle = std::chrono::steady_clock::now();
}

void WorkerPool::WorkerLoop() {
    std::size_t seenBatch = 0;
    for (;;) {
        {
            std::unique_lock lock(Mutex);
            BatchStarted.wait(lock, [&] { return ShuttingDown || BatchNumber != seenBatch; });
            if (ShuttingDown)
                return;
            seenBatch = BatchNumber;
        }
        RunTasks();
        {
            std::lock_guard lock(Mutex);
            --BusyWorkers;
        }
        BatchFinished.notify_one();
    }
}

void WorkerPool::RunTasks(std::exception_ptr* idleError) {
    for (;;) {
        const std::size_t i = NextTask.fetch_add(1);
        if (i >= TaskCount)
            return;
        try {
            (*Task)(i);
        } catch (...) {
            std::lock_guard lock(Mutex);
            if (!FirstError)
                FirstError = std::current_exception();
        }
        if (idleError != nullptr)
            IdleIfDue(*idleError);
    }
}

} // namespace orvanel
