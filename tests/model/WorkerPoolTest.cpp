#include "model/WorkerPool.h"

#include "model/HelperThread.h"
#include "model/RunError.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

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

} // namespace

TEST(WorkerPoolTest, ThreadsTheSystemRefusesEndTheRunWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit in a limited address space";
#endif
    EXPECT_EXIT(StartWithTooLittleMemory(), testing::ExitedWithCode(0),
                "^Only [1-9][0-9]? of 64 threads could be started \\(Resource temporarily "
                "unavailable\\): ask for fewer threads$");
}
