#include "model/WorkerPool.h"

#include "model/HelperThread.h"
#include "model/RunError.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace orvanel;

namespace {

// Limits the process's address space to what it uses now and `more` bytes, so that only so
// many thread stacks fit.
void LimitAddressSpace(rlim_t more) {
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t used = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    const rlimit limit{used + more, RLIM_INFINITY};
    setrlimit(RLIMIT_AS, &limit);
}

// A pool the system refuses some threads ends those it started and says so; a helper whose
// thread cannot start leaves the task to its caller.
void StartWithTooLittleMemory() {
    LimitAddressSpace(0);
    HelperThread helper;
    if (helper.Start([] {}))
        std::exit(2);
    LimitAddressSpace(64u << 20);
    try {
        WorkerPool pool(64);
    } catch (const RunError& error) {
        std::fputs(error.what(), stderr);
        std::exit(0);
    }
    std::exit(1);
}

// Serving with no thread to spare fails with a message; with room for only some of the
// threads asked, those started do every task. Exits 0 when all went so.
void ServeWithTooLittleMemory() {
    LimitAddressSpace(0);
    try {
        WorkerPool::ForEachServing(
            2, 2, [](std::size_t) {}, [] {}, std::chrono::milliseconds(1));
        std::exit(1);
    } catch (const RunError& error) {
        std::fputs(error.what(), stderr);
    }
    LimitAddressSpace(64u << 20);
    std::atomic<std::size_t> done{0};
    WorkerPool::ForEachServing(
        1000, 64, [&](std::size_t) { ++done; }, [] {}, std::chrono::milliseconds(1));
    std::exit(done == 1000 ? 0 : 1);
}

} // namespace

TEST(WorkerPoolTest, ServingTheCallerTakesNoTaskAndServesWhileTheTasksRun) {
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::atomic<int>> runs(40);
    std::atomic<bool> ranOnCaller{false};
    std::atomic<int> served{0};
    const auto task = [&](std::size_t i) {
        ranOnCaller = ranOnCaller || std::this_thread::get_id() == caller;
        // The first task lasts until the caller has served twice (or ten seconds).
        for (int wait = 0; i == 0 && served < 2 && wait < 10000; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ++runs[i];
    };
    WorkerPool::ForEachServing(
        runs.size(), 3, task, [&] { ++served; }, std::chrono::milliseconds(1));
    EXPECT_FALSE(ranOnCaller);
    EXPECT_GE(served, 2);
    for (const std::atomic<int>& r : runs)
        EXPECT_EQ(r, 1);
    // A task's failure reaches the caller once the others are done.
    std::atomic<int> done{0};
    EXPECT_THROW(WorkerPool::ForEachServing(
                     10, 2,
                     [&](std::size_t i) {
                         ++done;
                         if (i == 3)
                             throw std::runtime_error("task 3");
                     },
                     [] {}, std::chrono::milliseconds(1)),
                 std::runtime_error);
    EXPECT_EQ(done, 10);
}

TEST(WorkerPoolTest, ServingTakesTheThreadsTheSystemGrantsAndFailsWithNone) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a limited address space";
#endif
    // A fresh process: one forked from this would reuse the stacks of threads ended earlier.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ServeWithTooLittleMemory(), testing::ExitedWithCode(0),
                "^Only 0 of 2 threads could be started \\(Resource temporarily "
                "unavailable\\): ask for fewer threads$");
}

TEST(WorkerPoolTest, ThreadsTheSystemRefusesEndTheRunWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a limited address space";
#endif
    // A fresh process: one forked from this would reuse the stacks of threads ended earlier.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartWithTooLittleMemory(), testing::ExitedWithCode(0),
                "^Only [1-9][0-9]? of 64 threads could be started \\(Resource temporarily "
                "unavailable\\): ask for fewer threads$");
}
