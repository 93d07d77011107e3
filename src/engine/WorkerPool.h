// A fixed set of threads that share out the independent tasks of one batch.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvanel {

class WorkerPool {
public:
    // threads: how many threads work on a batch, the calling thread included; 0 means one per
    // hardware thread. With 1 every task runs on the calling thread and no thread is started.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The machine's hardware threads, at least 1.
    static int HardwareThreads();

    int ThreadCount() const { return static_cast<int>(Workers.size()) + 1; }

    // Runs task(i) for every i in [0, count), spread over the threads, and returns when all
    // are done. Tasks must be independent. If tasks throw, the first exception is rethrown
    // here once the batch is over.
    void ForEach(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    void WorkerLoop();
    void RunTasks();

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
};

} // namespace orvanel
