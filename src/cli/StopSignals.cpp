#include "cli/StopSignals.h"

#include <array>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace orvanel {
namespace {

constexpr std::array<int, 3> Handled = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t received = 0;
// Read by the handler, so written only while the signals are blocked.
std::array<char, 4096> removedPath{};

int StatusFor(int signal) {
    return signal == SIGINT ? 130 : 143;
}

extern "C" void OnStopSignal(int signal) {
    if (received == 0) {
        received = signal;
        return;
    }
    if (removedPath[0] != '\0')
        ::unlink(removedPath.data());
    ::_exit(StatusFor(signal));
}

} // namespace

StopSignals::StopSignals() {
    received = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
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

int StopSignals::ExitStatus() const {
    return StatusFor(received);
}

StopSignals::Deferred::Deferred() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Handled)
        sigaddset(&set, signal);
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
