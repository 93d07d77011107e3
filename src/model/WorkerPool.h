// A fixed set of threads that share out the independent tasks of one batch; or threads started
// for one batch while the caller only serves (ForEachServing).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvanel {

class WorkerPool {
public:
    // threads: how many threads work on a batch, the calling thread included; 0 means one per
    // hardware thread. With 1 every task runs on the calling thread and no thread is started.
    // Throws RunError (StartFailure's text) when the system refuses a thread.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The machine's hardware threads, at least 1.
    static int HardwareThreads();
    // "Only 250 of 400 threads could be started (<error>): ask for fewer threads".
    static std::string StartFailure(int started, int wanted, const std::exception& error);

    int ThreadCount() const { return static_cast<int>(Workers.size()) + 1; }

    // Runs task(i) for every i in [0, count), spread over the threads, and returns when all
    // are done. Tasks must be independent. If tasks throw, the first exception is rethrown
    // here once the batch is over. While a batch runs, the calling thread calls Idle between
    // its own tasks and while it waits for the others, whenever IdleInterval has passed since
    // the last call (of this or an earlier batch); an exception from Idle stops those calls and
    // is rethrown once the batch is over.
    void ForEach(std::size_t count, const std::function<void(std::size_t)>& task);
    // Runs task(i) for every i in [0, count) on `threads` (at least 1) threads started for this
    // call, or fewer when the system refuses more: the tasks must depend on their numbers
    // alone. The calling thread takes no task; it calls `serve` every `interval` until all are
    // done. Exceptions from the tasks and from serve are rethrown as ForEach rethrows them.
    // Throws RunError (StartFailure's text) when the system refuses the first thread.
    static void ForEachServing(std::size_t count, std::size_t threads,
                               const std::function<void(std::size_t)>& task,
                               std::function<void()> serve,
                               std::chrono::steady_clock::duration interval);

    // What the calling thread does while a batch keeps it waiting; nothing when empty.
    std::function<void()> Idle;
    std::chrono::steady_clock::duration IdleInterval = std::chrono::milliseconds(40);

private:
    // Starts up to `workers` threads beside the calling thread, keeping those started when the
    // system refuses one; throws RunError when it refuses the first.
    WorkerPool(std::size_t workers, std::chrono::steady_clock::duration idleInterval);

    void StartWorkers(std::size_t count);
    void JoinWorkers();
    void StartBatch(std::size_t count, const std::function<void(std::size_t)>& task);
    // Waits for the workers, then rethrows the first failure of a task, else of Idle.
    void FinishBatch(std::exception_ptr& idleError);
    void WorkerLoop();
    // Takes tasks until none is left; the calling thread passes its idle failure slot.
    void RunTasks(std::exception_ptr* idleError = nullptr);
    // Calls Idle when it is due; a failure lands in idleError and ends the calls.
    void IdleIfDue(std::exception_ptr& idleError);
    void WaitForWorkers(std::exception_ptr& idleError);

    std::vector<std::thread> Workers;
    std::mutex Mutex;
    std::condition_variable BatchStarted;
    std::condition_variable BatchFinished;
    const std::function<void(std::size_t)>* Task = nullptr;
    std::size_t TaskCount = 0;
    std::atomic<std::size_t> NextTask{0};
    std::size_t BatchNumber = 0;
    int BusyWorkers = 0;
    bool ShuttingDown = false;
    std::exception_ptr FirstError;
    std::chrono::steady_clock::time_point LastIdle = std::chrono::steady_clock::now();
};

} // namespace orvanel
