// Ctrl+C, SIGTERM and SIGHUP stop a run the way the window's Stop does.
#pragma once

#include <csignal>
#include <string>

namespace orvanel {

// While it lives, SIGINT, SIGTERM and SIGHUP ask the run to stop after its current generation,
// so that the report is completed and moved into place and the result printed. A second
// request ends the program at once, removing the unfinished report's temporary file so that
// the previous report stays untouched. Only one may live at a time.
//
// One request may arrive as several signals: sent to the process and to its group (as a time
// bound does), or queued while the process was held. So a later signal is a second request only
// once the run has acknowledged the first and a moment has passed since it; where nothing
// acknowledges (reading the data, a merge), only after a longer wait.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Whether a signal asked to stop, and which one (0: none).
    bool Requested() const;
    int Signal() const;
    // A stop asked as `signal` would, by another process of the run.
    void Ask(int signal);
    // Marks a request as seen by the run; true only the first time, when the user is to be told.
    bool Acknowledge();
    // The exit status of a run stopped by the signal: 130 for SIGINT, 143 for SIGTERM and
    // SIGHUP.
    int ExitStatus() const;
    static bool IsStopStatus(int status);
    // The file a second signal removes before ending the program; empty: none.
    void RemoveOnSecondSignal(const std::string& path);
    // While one lives, the signals wait: a file being written is completed and moved into
    // place before a signal can end the program.
    class Deferred {
    public:
        Deferred();
        ~Deferred();
        Deferred(const Deferred&) = delete;
        Deferred& operator=(const Deferred&) = delete;

    private:
        sigset_t previous;
    };
};

} // namespace orvanel
