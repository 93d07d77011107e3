// A second thread kept for the life of the process, to which a caller hands one task at a
// time: starting a thread for every task costs more than a short task itself.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace orvanel {

class HelperThread {
public:
    static HelperThread& Shared();

    HelperThread() = default;
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread();

    // Starts task on the helper and returns true; returns false, leaving task alone, while the
    // helper holds another caller's task or its thread cannot be started. The caller must Wait
    // before starting another.
    bool Start(std::function<void()> task);
    // Returns once the started task has finished.
    void Wait();

private:
    void Serve();

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::function<void()> pending;
    bool busy = false;
    bool quit = false;
    std::thread thread;
};

} // namespace orvanel
