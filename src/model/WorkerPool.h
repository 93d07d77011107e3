// A fixed set of threads that share out the independent tasks of one batch.
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

    // What the calling thread does while a batch keeps it waiting; nothing when empty.
    std::function<void()> Idle;
    std::chrono::steady_clock::duration IdleInterval = std::chrono::milliseconds(40);

private:
    void JoinWorkers();
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
