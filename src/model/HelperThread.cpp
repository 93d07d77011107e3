#include "model/HelperThread.h"

#include <system_error>
#include <utility>

namespace orvanel {

HelperThread& HelperThread::Shared() {
    static HelperThread helper;
    return helper;
}

HelperThread::~HelperThread() {
    {
        std::lock_guard lock(mutex);
        quit = true;
    }
    wake.notify_one();
    if (thread.joinable())
        thread.join();
}

bool HelperThread::Start(std::function<void()> task) {
    std::lock_guard lock(mutex);
    if (busy)
        return false;
    if (!thread.joinable()) {
        // The caller runs the task itself when the system refuses the thread.
        try {
            thread = std::thread([this] { Serve(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    busy = true;
    pending = std::move(task);
    wake.notify_one();
    return true;
}

void HelperThread::Wait() {
    std::unique_lock lock(mutex);
    finished.wait(lock, [this] { return !busy; });
}

void HelperThread::Serve() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return quit || pending != nullptr; });
        if (quit)
            return;
        const std::function<void()> task = std::exchange(pending, nullptr);
        lock.unlock();
        task();
        lock.lock();
        busy = false;
        finished.notify_all();
    }
}

} // namespace orvanel
