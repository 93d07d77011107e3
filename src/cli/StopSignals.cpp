#include "cli/StopSignals.h"

#include <array>
#include <csignal>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace orvanel {
namespace {

constexpr std::array<int, 3> Handled = {SIGINT, SIGTERM, SIGHUP};
// Within this time of the first, a signal is the same request delivered again.
constexpr long long SameRequestNanoseconds = 1'000'000'000;
// Unacknowledged, the first request may still be on its way to the run for this long.
constexpr long long UnansweredNanoseconds = 5'000'000'000;

volatile std::sig_atomic_t received = 0;
volatile std::sig_atomic_t acknowledged = 0;
// Written and read by the handler alone, which the other signals do not interrupt.
long long firstAt = 0;
// Read by the handler, so written only while the signals are blocked.
std::array<char, 4096> removedPath{};

int StatusFor(int signal) {
    return signal == SIGINT ? 130 : 143;
}

long long Now() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

bool IsSecondRequest(long long now) {
    const long long elapsed = now - firstAt;
    return elapsed >= SameRequestNanoseconds &&
           (acknowledged != 0 || elapsed >= UnansweredNanoseconds);
}

extern "C" void OnStopSignal(int signal) {
    const long long now = Now();
    if (received == 0) {
        firstAt = now;
        received = signal;
        return;
    }
    if (!IsSecondRequest(now))
        return;
    if (removedPath[0] != '\0')
        ::unlink(removedPath.data());
    ::_exit(StatusFor(signal));
}

sigset_t HandledSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Handled)
        sigaddset(&set, signal);
    return set;
}

} // namespace

StopSignals::StopSignals() {
    received = 0;
    acknowledged = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_mask = HandledSet();
    for (const int signal : Handled)
        sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() {
    for (const int signal : Handled)
        std::signal(signal, SIG_DFL);
    RemoveOnSecondSignal({});
}

bool StopSignals::Requested() const {
    return received != 0;
}

int StopSignals::Signal() const {
    return received;
}

void StopSignals::Ask(int signal) {
    const Deferred blocked;
    if (received == 0) {
        firstAt = Now();
        received = signal;
    }
}

bool StopSignals::Acknowledge() {
    if (received == 0 || acknowledged != 0)
        return false;
    acknowledged = 1;
    return true;
}

int StopSignals::ExitStatus() const {
    return StatusFor(received);
}

bool StopSignals::IsStopStatus(int status) {
    return status == StatusFor(SIGINT) || status == StatusFor(SIGTERM);
}

StopSignals::Deferred::Deferred() {
    const sigset_t set = HandledSet();
    sigprocmask(SIG_BLOCK, &set, &previous);
}

StopSignals::Deferred::~Deferred() {
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void StopSignals::RemoveOnSecondSignal(const std::string& path) {
    const Deferred blocked;
    const std::size_t length = path.size() < removedPath.size() ? path.size() : 0;
    std::memcpy(removedPath.data(), path.data(), length);
    removedPath[length] = '\0';
}

} // namespace orvanel
